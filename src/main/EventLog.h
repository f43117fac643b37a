#pragma once

#include "core/EventHub.h"
#include "core/Json.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

class LogSink;

// The --events file: one JSON object per line, appended and flushed as each
// event happens, each with "t" (seconds on the run loop's clock since the log
// opened) and "type". While open it listens to the log and, on the event
// hub, to opened URLs, alerts, analytics, the composer and the pasteboard;
// closing stops listening.
class EventLog {
public:
    // nullptr and an error message when the file cannot be opened.
    static std::shared_ptr<EventLog> open(const std::filesystem::path& path, std::string* error);
    ~EventLog();
    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    // fields writes the keys after "t" and "type".
    void write(std::string_view type, const std::function<void(Json&)>& fields);

    EventLog(std::FILE* file, double start);

    // Whether a write failed (it was reported on standard error once).
    bool failed() const { return _failed.load(); }

private:
    void listen();
    void stopListening();

    std::FILE* _file;
    std::string _path;
    std::atomic<bool> _failed{false};
    double _start;
    // Off the main thread the clock is not ours to read: the last time seen on it stands in.
    std::atomic<double> _lastTime{0};
    std::mutex _mutex;
    std::shared_ptr<LogSink> _sink;
    std::vector<Subscription> _subscriptions;
};

} // namespace vq
