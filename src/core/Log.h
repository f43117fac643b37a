#pragma once

#include <fmt/format.h>

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

// Receives every log line. Sinks are called under the log's lock, from any thread.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(std::string_view line) = 0;
};

// One line per event, cut past 64 KB (it then says how long it was). Thread-safe.
void logLine(std::string_view line);

template<typename... Args>
void log(fmt::format_string<Args...> format, Args&&... args)
{
    logLine(fmt::format(format, std::forward<Args>(args)...));
}

void addLogSink(std::shared_ptr<LogSink> sink);
void removeLogSink(const std::shared_ptr<LogSink>& sink);
// Standard error gets every line unless turned off (tests and headless runs keep it quiet).
void setLogToStderr(bool enabled);

// Collects lines while alive; for tests.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view line) const;
    std::size_t count(std::string_view line) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> _sink;
};

} // namespace vq
