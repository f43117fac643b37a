#include "core/Log.h"

#include "core/StringAdditions.h"

#include <algorithm>
#include <cstdio>

namespace vq {

namespace {

struct LogState {
    std::mutex mutex;
    std::vector<std::shared_ptr<LogSink>> sinks;
    bool toStderr = true;
};

LogState& state()
{
    static auto* s = new LogState; // never destroyed: logging may happen during static teardown
    return *s;
}

} // namespace

void logLine(std::string_view line)
{
    // A line that quotes what a server sent could be as long as the server
    // liked: past this it is cut, and says how long it was.
    constexpr std::size_t kMaxLine = 64 * 1024;
    std::string cut;
    if (line.size() > kMaxLine) {
        cut = fmt::format("{} … ({} bytes in all)", prefixWithin(line, kMaxLine), line.size());
        line = cut;
    }
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.toStderr) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    }
    for (auto& sink : s.sinks)
        sink->write(line);
}

void addLogSink(std::shared_ptr<LogSink> sink)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.sinks.push_back(std::move(sink));
}

void removeLogSink(const std::shared_ptr<LogSink>& sink)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::erase(s.sinks, sink);
}

void setLogToStderr(bool enabled)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.toStderr = enabled;
}

class LogCapture::Sink final : public LogSink {
public:
    void write(std::string_view line) override
    {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    }
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

LogCapture::LogCapture() : _sink(std::make_shared<Sink>()) { addLogSink(_sink); }

LogCapture::~LogCapture() { removeLogSink(_sink); }

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(_sink->mutex);
    return _sink->lines;
}

bool LogCapture::contains(std::string_view line) const { return count(line) > 0; }

std::size_t LogCapture::count(std::string_view line) const
{
    std::lock_guard lock(_sink->mutex);
    return static_cast<std::size_t>(std::count(_sink->lines.begin(), _sink->lines.end(), line));
}

void LogCapture::clear()
{
    std::lock_guard lock(_sink->mutex);
    _sink->lines.clear();
}

} // namespace vq
