#pragma once

#include "net/Executor.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

namespace vq {

// The process-wide queue that runs started requests, at most four at a time,
// first started first run; low-priority ones (pictures) only when nothing
// else waits, so reports, lists and lookups never queue behind a wall's icons. It holds each one until it ends, so callers may
// drop their references. Used from one thread only: the one every operation's
// executor runs its tasks on.
class RunQueue {
public:
    class Operation {
    public:
        virtual ~Operation() = default;
        // Called by the queue, through the operation's executor, when a slot is free.
        virtual void start() = 0;
        virtual const Executor& executor() const = 0;
        virtual bool isLowPriority() const { return false; }
    };

    static constexpr std::size_t maxConcurrent = 4;

    static RunQueue& shared();

    // Queues the operation; it starts from the run loop, never inside this call.
    void add(std::shared_ptr<Operation> operation);
    // An operation that ended, or was cancelled while it waited, leaves the queue.
    // This may drop the last reference: a caller inside the operation keeps itself alive.
    void remove(const Operation* operation);

    std::size_t runningCount() const { return _running.size(); }
    std::size_t waitingCount() const { return _waiting.size() + _waitingLow.size(); }

private:
    void schedule(const Operation& operation);
    void startWaiting();

    std::deque<std::shared_ptr<Operation>> _waiting;
    std::deque<std::shared_ptr<Operation>> _waitingLow;
    std::vector<std::shared_ptr<Operation>> _running;
};

} // namespace vq
