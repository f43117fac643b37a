#include "net/RunQueue.h"

#include <algorithm>

namespace vq {

RunQueue& RunQueue::shared()
{
    // Lives for the process: requests still queued at exit are simply never run.
    static auto* queue = new RunQueue;
    return *queue;
}

void RunQueue::add(std::shared_ptr<Operation> operation)
{
    const Operation& added = *operation;
    (added.isLowPriority() ? _waitingLow : _waiting).push_back(std::move(operation));
    schedule(added);
}

void RunQueue::remove(const Operation* operation)
{
    auto same = [operation](const std::shared_ptr<Operation>& o) { return o.get() == operation; };
    if (auto it = std::find_if(_running.begin(), _running.end(), same); it != _running.end()) {
        schedule(**it);
        _running.erase(it);
        return;
    }
    for (auto* waiting : {&_waiting, &_waitingLow})
        if (auto it = std::find_if(waiting->begin(), waiting->end(), same); it != waiting->end()) {
            waiting->erase(it);
            return;
        }
}

void RunQueue::schedule(const Operation& operation)
{
    // Posted each time rather than flagged, so a dropped post cannot stall the queue.
    operation.executor()([this] { startWaiting(); });
}

void RunQueue::startWaiting()
{
    while (_running.size() < maxConcurrent && waitingCount() > 0) {
        auto& from = _waiting.empty() ? _waitingLow : _waiting;
        auto operation = std::move(from.front());
        from.pop_front();
        _running.push_back(operation);
        operation->start(); // may end it at once, which frees the slot again
    }
}

} // namespace vq
