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
    _waiting.push_back(std::move(operation));
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
    if (auto it = std::find_if(_waiting.begin(), _waiting.end(), same); it != _waiting.end()) {
        _waiting.erase(it);
    }
}

void RunQueue::schedule(const Operation& operation)
{
    // Posted each time rather than flagged, so a dropped post cannot stall the queue.
    operation.executor()([this] { startWaiting(); });
}

void RunQueue::startWaiting()
{
    while (_running.size() < maxConcurrent && !_waiting.empty()) {
        auto operation = std::move(_waiting.front());
        _waiting.pop_front();
        _running.push_back(operation);
        operation->start(); // may end it at once, which frees the slot again
    }
}

} // namespace vq
