#pragma once

#include <chrono>

namespace vq {

// Seconds on a monotonic time line. The run loop owns one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual bool isManual() const { return false; }
};

class SystemClock final : public Clock {
public:
    double now() const override
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - _start).count();
    }

private:
    std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
};

// Moves only when told to: tests and headless runs.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double start = 0) : _now(start) {}
    double now() const override { return _now; }
    bool isManual() const override { return true; }
    void set(double t) { _now = t; }

private:
    double _now;
};

} // namespace vq
