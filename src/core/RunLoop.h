#pragma once

#include "core/Clock.h"
#include "core/Timer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace vq {

// Published on the event hub just before the main thread blocks (a
// synchronous load): a window host draws a frame first, so what is on screen
// (a busy indicator, say) stays there for the whole wait.
struct MainThreadWillBlock {};

// The main thread's event loop: posted tasks, timers and delayed performs,
// on a clock it owns (system time in the window, a manual clock in tests and
// headless runs).
class RunLoop {
public:
    static RunLoop& main();

    bool isMainThread() const { return std::this_thread::get_id() == _mainThread; }
    // The thread that calls this becomes the main thread (the harness and hosts do).
    void adoptCurrentThread() { _mainThread = std::this_thread::get_id(); }

    void useManualClock(double start = 0);
    void useSystemClock();
    bool hasManualClock() const { return _clock->isManual(); }
    double now() const { return _clock->now(); }

    // Thread-safe: runs task on the main thread, in posting order.
    void post(std::function<void()> task);
    // Called from the posting thread after each post, so a host blocked in
    // its own event wait can wake up.
    void setWakeHandler(std::function<void()> handler);

    // A one-shot perform after delay seconds; invalidate the timer to cancel it.
    std::shared_ptr<Timer> performAfter(double delay, std::function<void()> fn);
    void addTimer(const std::shared_ptr<Timer>& timer);

    // Runs what is posted and what is due now. Returns whether anything ran.
    bool runPending();
    // Waits up to maxWait real seconds for work (on the system clock also for
    // the next timer), then runs what is due.
    bool runOnce(double maxWait);
    // Runs until pred() holds or timeout real seconds pass; returns pred().
    bool runUntil(const std::function<bool()>& pred, double timeout);
    // Lets time pass: on the manual clock, moves it forward firing timers,
    // performs and completions in deadline order (ties in scheduling order);
    // on the system clock, runs for that long.
    void advance(double seconds);

    std::optional<double> nextDeadline() const;
    std::size_t pendingTimerCount() const;
    // Drops every timer and posted task (between tests).
    void reset();

    RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

private:
    std::shared_ptr<Timer> popDueTimer(double t);
    void fireTimer(const std::shared_ptr<Timer>& timer);
    bool runPosted();

    std::unique_ptr<Clock> _clock;
    std::thread::id _mainThread;
    std::vector<std::shared_ptr<Timer>> _timers; // a heap ordered by (fireDate, sequence)
    std::uint64_t _nextSequence = 1;

    mutable std::mutex _postMutex;
    std::condition_variable _postCondition;
    std::deque<std::function<void()>> _posted;
    std::function<void()> _wakeHandler;
};

} // namespace vq
