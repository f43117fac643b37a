#include "main/CardCommand.h"
#include "main/CommandLine.h"
#include "main/EditorTargets.h"
#include "main/HeadlessHost.h"

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
        return vq::runCard(std::get<vq::CardOptions>(parsed), std::cerr);
    }

    auto parsed = vq::parseCommandLine(argc, argv);
    if (auto* exit = std::get_if<vq::CommandLineExit>(&parsed)) {
        (exit->status == 0 ? std::cout : std::cerr) << exit->message;
        return exit->status;
    }
    auto& options = std::get<vq::LaunchOptions>(parsed);

    if (!options.headless) {
        std::cerr << "velvet-quill: the window host is not built yet; --headless runs the app without one\n";
        return 2;
    }
    vq::HeadlessHost host(options, [] { return std::make_shared<vq::app::AppDelegate>(); }, vq::editorTargets);
    return host.run(std::cerr);
}
