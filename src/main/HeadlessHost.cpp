#include "main/HeadlessHost.h"

#include "main/EventLog.h"
#include "main/ScriptRunner.h"
#include "main/ScriptTargets.h"

#include "analytics/Analytics.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"

#include <variant>

namespace vq {

HeadlessHost::HeadlessHost(LaunchOptions options, DelegateFactory makeDelegate, TargetsFactory makeTargets)
    : _options(std::move(options)), _makeDelegate(std::move(makeDelegate)), _makeTargets(std::move(makeTargets))
{
}

int HeadlessHost::run(std::ostream& errors)
{
    // The script first: a mistake in it should cost nothing.
    std::vector<ScriptCommand> commands;
    std::string scriptName;
    if (_options.script) {
        scriptName = _options.script->string();
        auto text = readFile(*_options.script);
        if (!text) {
            errors << "velvet-quill: cannot read the script " << scriptName << "\n";
            return ScriptRunner::kFailed;
        }
        auto parsed = parseScript(*text);
        if (auto* error = std::get_if<ScriptError>(&parsed)) {
            errors << scriptName << ":" << error->line << ": " << error->message << "\n";
            return ScriptRunner::kFailed;
        }
        commands = std::move(std::get<std::vector<ScriptCommand>>(parsed));
    }

    if (_options.dataDir)
        Paths::setDataRoot(*_options.dataDir);
    if (auto error = Application::prepareDataFolders()) {
        errors << "velvet-quill: " << *error << "\n";
        return 1;
    }

    auto& loop = RunLoop::main();
    loop.adoptCurrentThread();
    loop.useManualClock();
    // Analytics times follow the virtual clock too, so runs are repeatable.
    Analytics::setTimeSource([] { return RunLoop::main().now(); });
    setLogToStderr(false);

    std::shared_ptr<EventLog> events;
    if (_options.eventsFile) {
        std::string error;
        events = EventLog::open(*_options.eventsFile, &error);
        if (!events) {
            errors << "velvet-quill: " << error << "\n";
            return 1;
        }
    }

    auto& app = Application::shared();
    app.setDeviceProfile(_options.device);
    Device::current().setSystemVersion(_options.systemVersion);
    app.setInstalledSchemes(_options.installedSchemes);

    auto delegate = _makeDelegate();
    app.setDelegate(delegate);
    app.launch();

    ScriptRunner runner(_makeTargets ? _makeTargets(*delegate) : nullptr, scriptName, errors);
    return runner.run(commands);
}

} // namespace vq
