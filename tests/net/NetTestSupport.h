#pragma once

#include "net/HttpRequest.h"

#include <fmt/format.h>
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vq::test {

// The tests' main loop: tasks handed over from any thread run on the test's
// own thread while it runs the loop.
class TestLoop {
public:
    // The one loop, its thread being the first caller's.
    static TestLoop& shared();

    Executor executor();
    void post(std::function<void()> task);
    bool isLoopThread() const { return std::this_thread::get_id() == _thread; }

    // Runs what has been posted so far; false when there was nothing.
    bool runPending();
    // Runs posted tasks until pred holds or timeout seconds have passed.
    bool runUntil(const std::function<bool()>& pred, double timeout);
    // Runs posted tasks for that long.
    void runFor(double seconds);

private:
    TestLoop() : _thread(std::this_thread::get_id()) {}

    std::thread::id _thread;
    std::mutex _mutex;
    std::condition_variable _posted;
    std::deque<std::function<void()>> _tasks;
};

// A request as the server saw it.
struct SeenRequest {
    std::string method;
    std::string path;
    httplib::Headers headers;
    std::string body;
    bool has(const std::string& name) const { return headers.count(name) > 0; }
    std::string header(const std::string& name) const
    {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

// A cpp-httplib server on 127.0.0.1 at an ephemeral port, serving from its
// own threads. Handlers that stall wait on hold() until release() or teardown.
class TestServer {
public:
    TestServer();
    ~TestServer();

    httplib::Server& http() { return _server; }
    int port() const { return _port; }
    std::string url(const std::string& path) const;

    // Records the request; call from handlers.
    void record(const httplib::Request& request);
    std::vector<SeenRequest> seen() const;
    std::size_t seenCount(const std::string& path) const;

    // Blocks a handler until release() (or the server goes away).
    void hold();
    // Lets n held handlers go (all of them when n is 0, and from then on none blocks).
    void release(int n = 0);

private:
    httplib::Server _server;
    int _port = 0;
    std::thread _thread;
    mutable std::mutex _mutex;
    std::condition_variable _released;
    int _tickets = 0;
    bool _open = false;
    std::vector<SeenRequest> _seen;
};

// Records every callback; fails the test when one arrives off the loop's thread.
class Recorder : public HttpRequestDelegate {
public:
    void requestStarted(const std::shared_ptr<HttpRequest>& request) override;
    void requestFinished(const std::shared_ptr<HttpRequest>& request) override;
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override;

    int started = 0;
    int finished = 0;
    int failed = 0;
    std::vector<std::string> startedUrls;
    std::shared_ptr<HttpRequest> last;
    bool ended() const { return finished + failed > 0; }
};

// Starts a request with a fresh recorder and runs the loop until it ends.
struct Fetch {
    std::shared_ptr<HttpRequest> request;
    std::shared_ptr<Recorder> recorder;
};
Fetch fetch(std::shared_ptr<HttpRequest> request);
Fetch fetch(const std::string& url);

// Runs the loop until pred holds, with a bound generous enough for a loaded machine.
bool runUntil(const std::function<bool()>& pred, double timeout = 30);

// gzip-encodes bytes (one member) with zlib.
std::string gzip(const std::string& bytes);

// A whole file (nullopt when it cannot be read), and a file written whole.
std::optional<std::string> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The names in a folder.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

// A port on 127.0.0.1 that nothing listens on.
int closedPort();

} // namespace vq::test
