#include "main/ScriptPlayer.h"

#include "main/ScriptRunner.h"

namespace vq {

ScriptPlayer::ScriptPlayer(std::shared_ptr<ScriptRunner> runner, std::vector<ScriptCommand> commands)
    : _runner(std::move(runner)), _commands(std::move(commands))
{
    if (_commands.empty())
        _state = State::Finished;
}

ScriptPlayer::State ScriptPlayer::step(double now)
{
    if (_state != State::Playing || now < _resumeAt)
        return _state;
    if (_next == _commands.size()) {
        _state = State::Finished;
        return _state;
    }
    const auto& command = _commands[_next++];
    if (command.kind == ScriptCommand::Kind::Wait)
        _resumeAt = now + command.seconds;
    else if (_runner->runCommand(command) != 0)
        _state = State::Failed;
    // A trailing wait still counts: the script is over when it has passed.
    if (_state == State::Playing && _next == _commands.size() && now >= _resumeAt)
        _state = State::Finished;
    return _state;
}

std::optional<double> ScriptPlayer::nextDeadline() const
{
    if (_state != State::Playing)
        return std::nullopt;
    return _resumeAt;
}

} // namespace vq
