#include "main/HeadlessHost.h"

#include "main/EventLog.h"
#include "main/OutputClash.h"
#include "main/ScriptRunner.h"
#include "main/ScriptTargets.h"

#include "analytics/Analytics.h"
#include "platform/Application.h"
#include "platform/Log.h"
#include "platform/MessageComposer.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"

#include <variant>

namespace vq {

namespace {

MessageComposer::Mode composerMode(ComposerBehaviour behaviour)
{
    switch (behaviour) {
    case ComposerBehaviour::Refuse: return MessageComposer::Mode::Refuse;
    case ComposerBehaviour::None: return MessageComposer::Mode::None;
    case ComposerBehaviour::Fail: return MessageComposer::Mode::Fail;
    case ComposerBehaviour::Ok: break;
    }
    return MessageComposer::Mode::Ok;
}

} // namespace

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
        auto loaded = loadScriptFile(scriptName, errors);
        if (!loaded)
            return ScriptRunner::kFailed;
        commands = std::move(*loaded);
    }
    if (auto clash = findOutputClash(_options.script, _options.eventsFile, commands)) {
        errors << *clash << "\n";
        return ScriptRunner::kFailed;
    }

    if (auto status = launch(errors))
        return *status;
    ScriptRunner runner(targets(), scriptName, errors);
    int status = runner.run(commands);
    if (status == 0 && _events && _events->failed())
        status = 1;
    return status;
}

std::shared_ptr<ScriptTargets> HeadlessHost::targets() const
{
    return _makeTargets && _delegate ? _makeTargets(*_delegate) : nullptr;
}

std::optional<int> HeadlessHost::launch(std::ostream& errors)
{
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

    if (_options.eventsFile) {
        std::string error;
        _events = EventLog::open(*_options.eventsFile, &error);
        if (!_events) {
            errors << "velvet-quill: " << error << "\n";
            return 1;
        }
    }

    auto& app = Application::shared();
    app.setDeviceProfile(_options.device);
    Device::current().setSystemVersion(_options.systemVersion);
    app.setInstalledSchemes(_options.installedSchemes);
    MessageComposer::setMode(composerMode(_options.composer));

    _delegate = _makeDelegate();
    app.setDelegate(_delegate);
    app.launch();

    return std::nullopt;
}

} // namespace vq
