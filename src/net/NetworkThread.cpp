#include "net/NetworkThread.h"

#include "net/Transfer.h"

#include <algorithm>
#include <chrono>

namespace vq {

namespace {

// The longest wait without looking at the time-outs.
constexpr int maxPollMs = 1000;

} // namespace

NetworkThread& NetworkThread::shared()
{
    static NetworkThread thread;
    return thread;
}

NetworkThread::NetworkThread() : _thread([this] { run(); }) {}

NetworkThread::~NetworkThread()
{
    {
        std::lock_guard lock(_mutex);
        _stopping = true;
    }
    _multi.wakeup();
    _thread.join();
}

void NetworkThread::add(std::shared_ptr<Transfer> transfer)
{
    {
        std::lock_guard lock(_mutex);
        _added.push_back(std::move(transfer));
    }
    _multi.wakeup();
}

void NetworkThread::cancel(std::shared_ptr<Transfer> transfer)
{
    {
        std::lock_guard lock(_mutex);
        _cancelled.push_back(std::move(transfer));
    }
    _multi.wakeup();
}

void NetworkThread::run()
{
    std::vector<std::shared_ptr<Transfer>> added;
    std::vector<std::shared_ptr<Transfer>> cancelled;
    while (true) {
        {
            std::lock_guard lock(_mutex);
            if (_stopping)
                break;
            added.swap(_added);
            cancelled.swap(_cancelled);
        }
        takeNew(added);
        dropCancelled(cancelled);
        _multi.perform();
        collectFinished();
        _multi.poll(expireTimedOut());
    }

    // Shutting down: what still runs goes away quietly, its temporary files with it.
    std::lock_guard lock(_mutex);
    for (auto& [easy, transfer] : _active) {
        _multi.remove(easy);
        transfer->abandon();
    }
    _active.clear();
    for (auto& transfer : _added)
        transfer->abandon();
    _added.clear();
    _cancelled.clear();
}

void NetworkThread::takeNew(std::vector<std::shared_ptr<Transfer>>& added)
{
    for (auto& transfer : added) {
        transfer->noteActivity();
        CURL* easy = transfer->handle();
        if (!easy || !_multi.add(easy)) {
            transfer->fail("Unable to start the request");
            continue;
        }
        _active.emplace(easy, std::move(transfer));
    }
    added.clear();
}

void NetworkThread::dropCancelled(std::vector<std::shared_ptr<Transfer>>& cancelled)
{
    for (auto& transfer : cancelled) {
        auto it = std::find_if(_active.begin(), _active.end(), [&](auto& entry) { return entry.second == transfer; });
        if (it == _active.end())
            continue; // already done
        _multi.remove(it->first);
        _active.erase(it);
        transfer->abandon();
    }
    cancelled.clear();
}

void NetworkThread::collectFinished()
{
    while (CURLMsg* message = _multi.nextMessage()) {
        if (message->msg != CURLMSG_DONE)
            continue;
        // The message dies with the removal; copy what is needed first.
        CURL* easy = message->easy_handle;
        CURLcode rc = message->data.result;
        auto it = _active.find(easy);
        if (it == _active.end())
            continue;
        auto transfer = std::move(it->second);
        _active.erase(it);
        _multi.remove(easy);
        transfer->complete(rc);
    }
}

int NetworkThread::expireTimedOut()
{
    auto now = std::chrono::steady_clock::now();
    auto wait = std::chrono::milliseconds(maxPollMs);
    std::vector<std::shared_ptr<Transfer>> expired;
    for (auto& [easy, transfer] : _active) {
        auto left = transfer->timesOutAt() - now;
        if (left <= std::chrono::steady_clock::duration::zero())
            expired.push_back(transfer);
        else
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(left));
    }
    for (auto& transfer : expired) {
        _multi.remove(transfer->handle());
        _active.erase(transfer->handle());
        transfer->fail("The request timed out");
    }
    return expired.empty() ? static_cast<int>(wait.count()) : 0;
}

} // namespace vq
