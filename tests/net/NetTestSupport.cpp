#include "NetTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <fstream>
#include <sstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vq::test {

TestLoop& TestLoop::shared()
{
    static TestLoop loop;
    return loop;
}

Executor TestLoop::executor()
{
    return [this](std::function<void()> task) { post(std::move(task)); };
}

void TestLoop::post(std::function<void()> task)
{
    {
        std::lock_guard lock(_mutex);
        _tasks.push_back(std::move(task));
    }
    _posted.notify_all();
}

bool TestLoop::runPending()
{
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(_mutex);
        tasks.swap(_tasks);
    }
    for (auto& task : tasks)
        task();
    return !tasks.empty();
}

bool TestLoop::runUntil(const std::function<bool()>& pred, double timeout)
{
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(timeout));
    while (true) {
        runPending();
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // pred may wait on other threads than ours, so look again now and then.
        std::unique_lock lock(_mutex);
        _posted.wait_for(lock, std::chrono::milliseconds(5), [this] { return !_tasks.empty(); });
    }
}

void TestLoop::runFor(double seconds)
{
    runUntil([] { return false; }, seconds);
}

TestServer::TestServer()
{
    // Stalled handlers each hold a thread; leave plenty for the rest.
    _server.new_task_queue = [] { return new httplib::ThreadPool(24); };
    // Idle keep-alive connections hold up stop(); keep them short.
    _server.set_keep_alive_timeout(1);
    _port = _server.bind_to_any_port("127.0.0.1");
    _thread = std::thread([this] { _server.listen_after_bind(); });
    // stop() does nothing before the accept loop runs, and the destructor would
    // then wait for ever: return only once it runs.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!_server.is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!_server.is_running())
        ADD_FAILURE() << "the test server did not start listening";
}

TestServer::~TestServer()
{
    release();
    _server.stop();
    _thread.join();
}

std::string TestServer::url(const std::string& path) const { return fmt::format("http://127.0.0.1:{}{}", _port, path); }

void TestServer::record(const httplib::Request& request)
{
    SeenRequest seen{request.method, request.path, {}, request.body};
    for (const auto& [name, value] : request.headers)
        seen.headers.emplace(name, value);
    std::lock_guard lock(_mutex);
    _seen.push_back(std::move(seen));
}

std::vector<SeenRequest> TestServer::seen() const
{
    std::lock_guard lock(_mutex);
    return _seen;
}

std::size_t TestServer::seenCount(const std::string& path) const
{
    std::lock_guard lock(_mutex);
    return static_cast<std::size_t>(
        std::count_if(_seen.begin(), _seen.end(), [&](const SeenRequest& s) { return s.path == path; }));
}

void TestServer::hold()
{
    std::unique_lock lock(_mutex);
    // Bounded, so a forgotten release cannot hang the run.
    if (_released.wait_for(lock, std::chrono::seconds(60), [this] { return _open || _tickets > 0; }) && !_open)
        --_tickets;
}

void TestServer::release(int n)
{
    {
        std::lock_guard lock(_mutex);
        if (n == 0)
            _open = true;
        else
            _tickets += n;
    }
    _released.notify_all();
}

void Recorder::requestStarted(const std::shared_ptr<HttpRequest>& request)
{
    EXPECT_TRUE(TestLoop::shared().isLoopThread());
    ++started;
    startedUrls.push_back(request->url());
    last = request;
}

void Recorder::requestFinished(const std::shared_ptr<HttpRequest>& request)
{
    EXPECT_TRUE(TestLoop::shared().isLoopThread());
    EXPECT_FALSE(request->isExecuting());
    ++finished;
    last = request;
}

void Recorder::requestFailed(const std::shared_ptr<HttpRequest>& request)
{
    EXPECT_TRUE(TestLoop::shared().isLoopThread());
    EXPECT_FALSE(request->isExecuting());
    ++failed;
    last = request;
}

Fetch fetch(std::shared_ptr<HttpRequest> request)
{
    auto recorder = std::make_shared<Recorder>();
    request->setDelegate(recorder);
    request->startAsynchronous();
    EXPECT_TRUE(runUntil([&] { return recorder->ended(); })) << request->url();
    // Anything sent twice would be posted by now; let it show.
    TestLoop::shared().runPending();
    EXPECT_EQ(recorder->finished + recorder->failed, 1) << request->url();
    return {request, recorder};
}

Fetch fetch(const std::string& url) { return fetch(HttpRequest::requestWithURL(url)); }

bool runUntil(const std::function<bool()>& pred, double timeout) { return TestLoop::shared().runUntil(pred, timeout); }

std::optional<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string gzip(const std::string& bytes)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<std::string> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int closedPort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd); // never listened: connecting is refused
    return ntohs(address.sin_port);
}

} // namespace vq::test
