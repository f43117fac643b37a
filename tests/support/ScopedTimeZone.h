#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace vq::test {

// The process's time zone (TZ) for one scope, restored afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz)
    {
        if (const char* old = std::getenv("TZ"))
            _old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (_old)
            setenv("TZ", _old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> _old;
};

} // namespace vq::test
