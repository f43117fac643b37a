#include "main/CommandLine.h"
#include "main/HeadlessHost.h"
#include "main/NamedScriptTargets.h"
#include "main/WindowHost.h"

#include <iostream>

#if __has_include("app/AppDelegate.h")
#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "platform/Button.h"
#include "platform/TextView.h"
#define VQ_HAS_APP 1
#else
#define VQ_HAS_APP 0
#endif

namespace {

#if VQ_HAS_APP
// The editor's controls by the names scripts use for them.
std::shared_ptr<vq::ScriptTargets> editorTargets(vq::ApplicationDelegate& delegate)
{
    auto targets = vq::NamedScriptTargets::create();
    auto* app = dynamic_cast<vq::app::AppDelegate*>(&delegate);
    if (!app)
        return targets;
    auto editor = [app] { return app->viewController(); };
    targets->add("send", [editor]() -> std::shared_ptr<vq::View> { return editor() ? editor()->sendButton() : nullptr; });
    targets->add("info", [editor]() -> std::shared_ptr<vq::View> { return editor() ? editor()->infoButton() : nullptr; });
    targets->add("clear", [editor]() -> std::shared_ptr<vq::View> { return editor() ? editor()->clearButton() : nullptr; });
    targets->add("random", [editor]() -> std::shared_ptr<vq::View> { return editor() ? editor()->randomButton() : nullptr; });
    targets->add("message", [editor]() -> std::shared_ptr<vq::View> { return editor() ? editor()->textView() : nullptr; });
    return targets;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    auto parsed = vq::parseCommandLine(argc, argv);
    if (auto* exit = std::get_if<vq::CommandLineExit>(&parsed)) {
        (exit->status == 0 ? std::cout : std::cerr) << exit->message;
        return exit->status;
    }
    auto& options = std::get<vq::LaunchOptions>(parsed);

#if VQ_HAS_APP
    auto makeDelegate = [] { return std::make_shared<vq::app::AppDelegate>(); };
    if (!options.headless) {
        vq::WindowHost host(options, makeDelegate, editorTargets);
        return host.run(std::cerr);
    }
    vq::HeadlessHost host(options, makeDelegate, editorTargets);
    return host.run(std::cerr);
#else
    std::cerr << "velvet-quill: the editor is not built into this binary yet\n";
    return 2;
#endif
}
