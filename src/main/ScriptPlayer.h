#pragma once

#include "main/Script.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace vq {

class ScriptRunner;

// Plays a script in real time for a host with its own event loop: one
// command per step, and a wait only sets when the next step may run, so the
// host keeps drawing and handling input meanwhile.
class ScriptPlayer {
public:
    enum class State { Playing, Finished, Failed };

    ScriptPlayer(std::shared_ptr<ScriptRunner> runner, std::vector<ScriptCommand> commands);

    // Runs the next command if its time has come (now on the run loop's clock).
    State step(double now);
    State state() const { return _state; }
    // When step has something to do; none once the script is over.
    std::optional<double> nextDeadline() const;

private:
    std::shared_ptr<ScriptRunner> _runner;
    std::vector<ScriptCommand> _commands;
    std::size_t _next = 0;
    double _resumeAt = 0;
    State _state = State::Playing;
};

} // namespace vq
