#include "analytics/Analytics.h"

#include "core/EventHub.h"
#include "core/Json.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "core/StringAdditions.h"
#include "core/TestResets.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <utility>

namespace vq {

namespace {

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool isValidKey(const std::string& key)
{
    return key.size() == 20
        && std::all_of(key.begin(), key.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

std::string jsonString(std::string_view s) { return jsonText(Json(s)); }

std::string eventLine(const std::string& name, double t)
{
    // Rounded to milliseconds; "-0.000" would read oddly.
    double rounded = std::round(t * 1000) / 1000;
    if (rounded == 0)
        rounded = 0;
    return fmt::format("{{\"type\":\"event\",\"name\":{},\"t\":{:.3f}}}", jsonString(name), rounded);
}

// Names come from servers too (a failure status's message): an event is
// named by the start of such a text, a session holds so much, and the folder
// keeps the last sessions only.
constexpr std::size_t kMaxEventName = 256;
constexpr std::size_t kMaxSessionBytes = std::size_t{1} << 20;
constexpr std::size_t kKeptSessions = 20;

std::string eventName(std::string_view name) { return std::string(prefixWithin(name, kMaxEventName)); }

// Leaves room for the current session: the oldest others go (their names
// sort by start time), past the newest kKeptSessions - 1.
std::vector<std::filesystem::path> sessionsToPrune(const std::filesystem::path& dir, const std::filesystem::path& current)
{
    std::vector<std::filesystem::path> sessions;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        auto name = it->path().filename().string();
        if (name.starts_with("session-") && name.ends_with(".jsonl") && it->path() != current)
            sessions.push_back(it->path());
    }
    if (sessions.size() < kKeptSessions)
        return {};
    std::sort(sessions.begin(), sessions.end());
    sessions.resize(sessions.size() - (kKeptSessions - 1));
    return sessions;
}

std::string sessionFileName(std::time_t start)
{
    std::tm utc{};
    gmtime_r(&start, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::random_device random;
    return fmt::format("session-{}-{:08x}.jsonl", stamp, random());
}

class Recorder {
public:
    void start(const std::string& key)
    {
        if (_started) {
            vq::log("analytics session already started, ignoring the key {}", key);
            return;
        }
        if (!isValidKey(key))
            vq::log("analytics key \"{}\" is not 20 upper-case letters and digits", key);
        _started = true;
        _startTime = now();
        auto startUnix = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
        openFile(startUnix);

        write(fmt::format("{{\"type\":\"session\",\"key\":{},\"start\":{}}}", jsonString(key),
                          static_cast<long long>(startUnix)));
        auto early = std::exchange(_early, {});
        for (const auto& [name, t] : early)
            write(eventLine(name, t - _startTime));
    }

    void event(const std::string& name)
    {
        if (!_started) {
            _early.emplace_back(name, now());
            return;
        }
        write(eventLine(name, now() - _startTime));
    }

    std::optional<std::filesystem::path> file() const
    {
        return _fd >= 0 ? std::optional(_path) : std::nullopt;
    }

    std::vector<std::string> held() const { return _held; }

    void setTimeSource(std::function<double()> source) { _now = std::move(source); }

    void reset()
    {
        waitForPruning();
        closeFile();
        _started = false;
        _path.clear();
        _held.clear();
        _early.clear();
        _failureLogged = false;
        _now = nullptr;
        _written = 0;
        _full = false;
    }

    void waitForPruning()
    {
        if (_pruner.joinable())
            _pruner.join();
    }

    ~Recorder() { closeFile(); }

private:
    double now() const { return _now ? _now() : steadySeconds(); }

    void openFile(std::time_t startUnix)
    {
        auto dir = Paths::dataDir() / "analytics";
        if (auto error = Paths::ensureDirectory(dir)) {
            failed(*error);
            return;
        }
        auto path = dir / sessionFileName(startUnix);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) {
            failed(fmt::format("cannot create {}: {}", path.string(), std::strerror(errno)));
        } else {
            _fd = fd;
            _path = path;
        }
        // After the new file is made: a removal holds the folder for longer than the
        // rest of the start takes, and nothing needs to wait for it.
        if (auto old = sessionsToPrune(dir, path); !old.empty()) {
            waitForPruning();
            _pruner = std::jthread([old = std::move(old)] {
                std::error_code ec;
                for (const auto& file : old)
                    std::filesystem::remove(file, ec);
            });
        }
    }

    // Straight to the kernel, no user-space buffer: a process crash cannot
    // lose a finished line, and no fsync stalls the main thread.
    void write(std::string line)
    {
        if (_written + line.size() + 1 > kMaxSessionBytes) {
            if (!std::exchange(_full, true))
                vq::log("analytics: the session has reached {} bytes; later events are not recorded", kMaxSessionBytes);
            return;
        }
        _written += line.size() + 1;
        if (_fd >= 0) {
            line += '\n';
            if (writeAll(_fd, line))
                return;
            failed(fmt::format("cannot write {}: {}", _path.string(), std::strerror(errno)));
            closeFile();
            line.pop_back();
        }
        _held.push_back(std::move(line));
    }

    void failed(const std::string& why)
    {
        if (_failureLogged)
            return;
        _failureLogged = true;
        vq::log("analytics: {}; keeping the session in memory", why);
    }

    void closeFile()
    {
        if (_fd >= 0)
            ::close(_fd);
        _fd = -1;
    }

    bool _started = false;
    double _startTime = 0;
    int _fd = -1;
    std::filesystem::path _path;
    std::vector<std::string> _held;
    std::vector<std::pair<std::string, double>> _early;
    bool _failureLogged = false;
    std::function<double()> _now;
    std::size_t _written = 0;
    bool _full = false;
    std::jthread _pruner; // last, so it is joined before the rest goes
};

std::mutex& mutex()
{
    static std::mutex m;
    return m;
}

Recorder& recorder()
{
    static Recorder r;
    return r;
}

// Outside the lock: a subscriber may log an event of its own.
void notify(std::string name)
{
    auto& loop = RunLoop::main();
    if (loop.isMainThread())
        EventHub::shared().publish(AnalyticsEventLogged{std::move(name)});
    else
        loop.post([name = std::move(name)] { EventHub::shared().publish(AnalyticsEventLogged{name}); });
}

// The session is process-wide: tests start a new one after the platform's reset.
[[maybe_unused]] const bool resetAdded = (addResetForTests(&Analytics::reset), true);

} // namespace

void Analytics::startSession(const std::string& key)
{
    {
        std::lock_guard lock(mutex());
        recorder().start(key);
    }
    notify("startSession:" + key);
}

void Analytics::logEvent(const std::string& text)
{
    std::string name = eventName(text);
    {
        std::lock_guard lock(mutex());
        recorder().event(name);
    }
    notify(std::move(name));
}

void Analytics::setTimeSource(std::function<double()> now)
{
    std::lock_guard lock(mutex());
    recorder().setTimeSource(std::move(now));
}

std::optional<std::filesystem::path> Analytics::sessionFile()
{
    std::lock_guard lock(mutex());
    return recorder().file();
}

std::vector<std::string> Analytics::heldLines()
{
    std::lock_guard lock(mutex());
    return recorder().held();
}

void Analytics::waitForPruning()
{
    std::lock_guard lock(mutex());
    recorder().waitForPruning();
}

void Analytics::reset()
{
    std::lock_guard lock(mutex());
    recorder().reset();
}

} // namespace vq
