#include "core/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <chrono>

namespace vq {

namespace {

// Earliest deadline on top; ties go to the earlier scheduled.
bool later(const std::shared_ptr<Timer>& a, const std::shared_ptr<Timer>& b)
{
    if (a->fireDate() != b->fireDate())
        return a->fireDate() > b->fireDate();
    return a->sequence() > b->sequence();
}

} // namespace

Timer::Timer(double interval, bool repeats, Action action)
    : _interval(interval < 0 ? 0 : interval), _repeats(repeats), _action(std::move(action))
{
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Action action)
{
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(action));
    RunLoop::main().addTimer(timer);
    return timer;
}

void Timer::invalidate()
{
    _valid = false;
    _action = nullptr; // release what the action captured
}

void Timer::fire()
{
    if (!_valid)
        return;
    auto keep = shared_from_this();
    auto action = _action;
    if (!_repeats)
        invalidate();
    if (action)
        action(*this);
}

RunLoop::RunLoop() : _clock(std::make_unique<SystemClock>()), _mainThread(std::this_thread::get_id()) {}

RunLoop& RunLoop::main()
{
    static auto* loop = new RunLoop; // lives for the process
    return *loop;
}

void RunLoop::useManualClock(double start) { _clock = std::make_unique<ManualClock>(start); }

void RunLoop::useSystemClock() { _clock = std::make_unique<SystemClock>(); }

void RunLoop::post(std::function<void()> task)
{
    std::function<void()> wake;
    {
        std::lock_guard lock(_postMutex);
        _posted.push_back(std::move(task));
        wake = _wakeHandler;
    }
    _postCondition.notify_all();
    if (wake)
        wake();
}

void RunLoop::setWakeHandler(std::function<void()> handler)
{
    std::lock_guard lock(_postMutex);
    _wakeHandler = std::move(handler);
}

std::shared_ptr<Timer> RunLoop::performAfter(double delay, std::function<void()> fn)
{
    auto timer = std::make_shared<Timer>(delay, false, [fn = std::move(fn)](Timer&) { fn(); });
    addTimer(timer);
    return timer;
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer)
{
    timer->_fireDate = now() + timer->_interval;
    timer->_sequence = _nextSequence++;
    _timers.push_back(timer);
    std::push_heap(_timers.begin(), _timers.end(), later);
}

std::shared_ptr<Timer> RunLoop::popDueTimer(double t)
{
    while (!_timers.empty()) {
        auto& top = _timers.front();
        if (!top->isValid()) {
            std::pop_heap(_timers.begin(), _timers.end(), later);
            _timers.pop_back();
            continue;
        }
        if (top->fireDate() > t)
            return nullptr;
        std::pop_heap(_timers.begin(), _timers.end(), later);
        auto timer = std::move(_timers.back());
        _timers.pop_back();
        return timer;
    }
    return nullptr;
}

void RunLoop::fireTimer(const std::shared_ptr<Timer>& timer)
{
    timer->fire();
    if (timer->isValid() && timer->repeats()) {
        // The next occurrence keeps the original cadence; a zero interval would spin, so it waits a tick.
        double next = timer->_fireDate + std::max(timer->_interval, 1e-4);
        // Far out on the time line the step can vanish in rounding; the
        // timer must still move on, or advance() would fire it forever.
        timer->_fireDate = next > timer->_fireDate ? next : std::nextafter(timer->_fireDate, HUGE_VAL);
        timer->_sequence = _nextSequence++;
        _timers.push_back(timer);
        std::push_heap(_timers.begin(), _timers.end(), later);
    }
}

bool RunLoop::runPosted()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(_postMutex);
        batch.swap(_posted);
    }
    for (auto& task : batch)
        task();
    return !batch.empty();
}

bool RunLoop::runPending()
{
    bool ran = runPosted();
    double t = now();
    while (auto timer = popDueTimer(t)) {
        fireTimer(timer);
        ran = true;
        ran |= runPosted();
    }
    return ran;
}

bool RunLoop::runOnce(double maxWait)
{
    if (runPending())
        return true;
    double wait = std::max(0.0, maxWait);
    if (!hasManualClock()) {
        if (auto next = nextDeadline())
            wait = std::min(wait, std::max(0.0, *next - now()));
    }
    {
        std::unique_lock lock(_postMutex);
        _postCondition.wait_for(lock, std::chrono::duration<double>(wait), [this] { return !_posted.empty(); });
    }
    return runPending();
}

bool RunLoop::runUntil(const std::function<bool()>& pred, double timeout)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    runPending();
    while (!pred()) {
        double left = std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return pred();
        runOnce(std::min(left, 0.05));
    }
    return true;
}

void RunLoop::advance(double seconds)
{
    if (!hasManualClock()) {
        double end = now() + seconds;
        runUntil([&] { return now() >= end; }, seconds + 1);
        return;
    }
    auto* clock = static_cast<ManualClock*>(_clock.get());
    double target = clock->now() + std::max(0.0, seconds);
    runPosted();
    while (true) {
        auto timer = popDueTimer(target);
        if (!timer)
            break;
        clock->set(std::max(clock->now(), timer->fireDate()));
        fireTimer(timer);
        runPosted();
    }
    clock->set(target);
    runPosted();
}

std::optional<double> RunLoop::nextDeadline() const
{
    std::optional<double> best;
    for (auto& t : _timers)
        if (t->isValid() && (!best || t->fireDate() < *best))
            best = t->fireDate();
    return best;
}

std::size_t RunLoop::pendingTimerCount() const
{
    return static_cast<std::size_t>(std::count_if(_timers.begin(), _timers.end(), [](auto& t) { return t->isValid(); }));
}

void RunLoop::reset()
{
    for (auto& t : _timers)
        t->invalidate();
    _timers.clear();
    std::lock_guard lock(_postMutex);
    _posted.clear();
}

} // namespace vq
