#pragma once

#include "net/CurlMulti.h"

#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace vq {

class Transfer;

// The one background thread that runs every transfer over one curl multi
// handle. Created on first use; stopped and joined at process exit.
class NetworkThread {
public:
    static NetworkThread& shared();

    // Thread-safe. The transfer must be prepared; its done callback comes from this thread.
    void add(std::shared_ptr<Transfer> transfer);
    // Thread-safe. Drops the transfer if it is still running; no done callback follows
    // unless it had already been made.
    void cancel(std::shared_ptr<Transfer> transfer);

    ~NetworkThread();
    NetworkThread(const NetworkThread&) = delete;
    NetworkThread& operator=(const NetworkThread&) = delete;

private:
    NetworkThread();
    void run();
    void takeNew(std::vector<std::shared_ptr<Transfer>>& added);
    void dropCancelled(std::vector<std::shared_ptr<Transfer>>& cancelled);
    void collectFinished();
    int expireTimedOut();

    CurlMulti _multi;
    std::mutex _mutex;
    std::vector<std::shared_ptr<Transfer>> _added;     // guarded by _mutex
    std::vector<std::shared_ptr<Transfer>> _cancelled; // guarded by _mutex
    bool _stopping = false;                            // guarded by _mutex
    std::unordered_map<CURL*, std::shared_ptr<Transfer>> _active; // the thread's own
    std::thread _thread; // last: starts once everything above exists
};

} // namespace vq
