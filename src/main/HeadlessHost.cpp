#include "main/HeadlessHost.h"

#include "main/EventLog.h"
#include "main/OutputClash.h"
#include "main/ScriptRunner.h"
#include "main/ScriptTargets.h"

#include <variant>

namespace vq {

HeadlessHost::HeadlessHost(LaunchOptions options, DelegateFactory makeDelegate, TargetsFactory makeTargets)
    : _options(std::move(options)), _makeDelegate(std::move(makeDelegate)), _makeTargets(std::move(makeTargets))
{
    _options.headless = true;
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
    if (status == 0 && _launched.events && _launched.events->failed())
        status = 1;
    return status;
}

std::shared_ptr<ScriptTargets> HeadlessHost::targets() const
{
    return _makeTargets && _launched.delegate ? _makeTargets(*_launched.delegate) : nullptr;
}

std::optional<int> HeadlessHost::launch(std::ostream& errors)
{
    auto launched = launchApp(_options, _makeDelegate, errors);
    if (auto* status = std::get_if<int>(&launched))
        return *status;
    _launched = std::move(std::get<LaunchedApp>(launched));
    return std::nullopt;
}

} // namespace vq
