// 1,000 GETs of a small body from a loopback server, 4 at a time: through
// HttpRequest, and through `curl --parallel --parallel-max 4` for comparison.
#include "core/Log.h"
#include "core/RunLoop.h"
#include "net/HttpRequest.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int requestCount = 1000;

class Server {
public:
    Server()
    {
        // Same server for both clients: connections kept, replies not held back by Nagle.
        _server.set_keep_alive_max_count(100000);
        _server.set_tcp_nodelay(true);
        _server.Get("/small", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("a small body for the benchmark\n", "application/octet-stream");
        });
        _port = _server.bind_to_any_port("127.0.0.1");
        _thread = std::thread([this] { _server.listen_after_bind(); });
    }
    ~Server()
    {
        _server.stop();
        _thread.join();
    }
    std::string url(int i) const { return fmt::format("http://127.0.0.1:{}/small?i={}", _port, i); }

private:
    httplib::Server _server;
    int _port = 0;
    std::thread _thread;
};

Server& server()
{
    static Server s;
    return s;
}

class Counter : public vq::HttpRequestDelegate {
public:
    void requestFinished(const std::shared_ptr<vq::HttpRequest>& request) override
    {
        ++ended;
        ok += request->responseStatusCode() == 200 && !request->responseData().empty();
    }
    void requestFailed(const std::shared_ptr<vq::HttpRequest>&) override { ++ended; }
    int ended = 0;
    int ok = 0;
};

void BM_HttpRequest(benchmark::State& state)
{
    auto& loop = vq::RunLoop::main();
    loop.adoptCurrentThread();
    loop.useSystemClock();
    vq::HttpRequest::setDefaultExecutor([&loop](std::function<void()> task) { loop.post(std::move(task)); });
    auto& s = server();
    for (auto _ : state) {
        auto counter = std::make_shared<Counter>();
        // The queue runs four at a time, as the app does.
        for (int i = 0; i < requestCount; ++i) {
            auto request = vq::HttpRequest::requestWithURL(s.url(i));
            request->setDelegate(counter);
            request->startAsynchronous();
        }
        if (!loop.runUntil([&] { return counter->ended == requestCount; }, 120) || counter->ok != requestCount) {
            state.SkipWithError("not every request succeeded");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * requestCount);
    state.counters["req/s"] = benchmark::Counter(static_cast<double>(state.iterations() * requestCount),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HttpRequest)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_CurlParallel(benchmark::State& state)
{
    auto& s = server();
    char config[] = "/tmp/vq-bench-urls-XXXXXX";
    int fd = mkstemp(config);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    close(fd);
    {
        std::ofstream out(config);
        for (int i = 0; i < requestCount; ++i)
            out << "url = \"" << s.url(i) << "\"\noutput = \"/dev/null\"\n";
    }
    auto command = fmt::format("curl --silent --no-progress-meter --fail --parallel --parallel-max 4 --config {}", config);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    std::remove(config);
    state.SetItemsProcessed(state.iterations() * requestCount);
    state.counters["req/s"] = benchmark::Counter(static_cast<double>(state.iterations() * requestCount),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CurlParallel)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

} // namespace

BENCHMARK_MAIN();
