#pragma once

#include <functional>

namespace vq {

// Runs a task later on the one thread it stands for (in the app, the main run
// loop), in the order the tasks were handed over. Called from any thread.
using Executor = std::function<void(std::function<void()>)>;

} // namespace vq
