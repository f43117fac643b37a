#pragma once

#include <functional>

namespace vq {

// For libraries with process-wide state of their own: each adds its reset
// once (at start-up) and the process-wide reset for tests runs them all, in
// the order added, after the platform's own. Main thread only.
void addResetForTests(std::function<void()> reset);
void runAddedResetsForTests();

} // namespace vq
