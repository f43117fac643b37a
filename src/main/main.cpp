#include "main/CardCommand.h"
#include "main/CommandLine.h"
#include "main/EditorTargets.h"
#include "main/HeadlessHost.h"
#include "main/NetworkActivity.h"
#include "main/WindowHost.h"

#include "app/AppDelegate.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "card") == 0) {
        auto parsed = vq::parseCardCommand(argc, argv);
        if (auto* exit = std::get_if<vq::CommandLineExit>(&parsed)) {
            (exit->status == 0 ? std::cout : std::cerr) << exit->message;
            return exit->status;
        }
        return vq::endProcess(vq::runCard(std::get<vq::CardOptions>(parsed), std::cerr));
    }

    auto parsed = vq::parseCommandLine(argc, argv);
    if (auto* exit = std::get_if<vq::CommandLineExit>(&parsed)) {
        (exit->status == 0 ? std::cout : std::cerr) << exit->message;
        return exit->status;
    }
    auto& options = std::get<vq::LaunchOptions>(parsed);

    auto makeDelegate = [] { return std::make_shared<vq::app::AppDelegate>(); };
    int status = 0;
    if (!options.headless) {
        vq::WindowHost host(options, makeDelegate, vq::editorTargets);
        status = host.run(std::cerr);
    } else {
        vq::HeadlessHost host(options, makeDelegate, vq::editorTargets);
        status = host.run(std::cerr);
    }
    return vq::endProcess(status);
}
