#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vq {

class RunLoop;

// A one-shot or repeating timer on the main run loop. The run loop keeps it
// alive until it is invalidated (or, when one-shot, has fired).
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Action = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Action action);

    void invalidate();
    bool isValid() const { return _valid; }
    bool repeats() const { return _repeats; }
    double timeInterval() const { return _interval; }
    double fireDate() const { return _fireDate; }
    std::uint64_t sequence() const { return _sequence; }
    // Runs the action now; a one-shot timer is then invalid.
    void fire();

    Timer(double interval, bool repeats, Action action);

private:
    friend class RunLoop;
    double _interval;
    bool _repeats;
    Action _action;
    bool _valid = true;
    double _fireDate = 0;
    std::uint64_t _sequence = 0;
};

} // namespace vq
