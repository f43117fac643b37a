#pragma once

namespace vq {

// How a written file waits for the disk. Flushed: the bytes reach the disk before
// the file takes the old one's place. Rebuildable: checked when read and made again
// when unreadable, so a crash that loses it costs nothing and no launch waits for
// the disk for it. OverOldOnly, a command's output: whoever asked for it can ask
// again, so only an older file it replaces is worth the wait (a crash must not
// take that one with it); a new name costs no flush.
enum class Durability { Flushed, Rebuildable, OverOldOnly };

} // namespace vq
