#pragma once

namespace vq {

// Puts the process's shared state back as a fresh process has it, so tests
// and benchmarks start alike: no event subscribers or notification
// observers, no windows, delegate, alerts, first responder or touch, the
// keyboard down, an empty run loop on a manual clock at 0, the default
// device, empty user defaults and pasteboard, the composer answering Ok,
// the default data folders, and the log off standard error. Then every
// reset added with addResetForTests, in the order added. Main thread only.
void resetForTests();

} // namespace vq
