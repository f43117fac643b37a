#include "net/BlockingGet.h"

#include "net/CurlUrl.h"
#include "net/HttpRequest.h"
#include "net/NetworkThread.h"
#include "net/RequestObserver.h"
#include "net/Transfer.h"

#include <fmt/format.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vq {

namespace {

// The hand-over from the network thread: set once, under the lock.
struct Outcome {
    std::mutex mutex;
    std::condition_variable ended;
    std::shared_ptr<Transfer> done;
};

BlockingResponse fetch(BlockingResponse response)
{
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(HttpRequest::timeOutSeconds()));
    for (int redirects = 0;; ++redirects) {
        auto url = CurlUrl::parse(response.url);
        if (!url || !url->isUsable()) {
            response.error = "Unable to create request (bad url?)";
            return response;
        }
        TransferOptions options;
        options.url = url->text();
        if (const auto& agent = HttpRequest::userAgent())
            options.headerLines.push_back("User-Agent: " + *agent);
        options.headerLines.emplace_back("Accept-Encoding: gzip");
        options.timeOutSeconds = HttpRequest::timeOutSeconds();
        options.maxBodySize = HttpRequest::maxBodySize;
        auto outcome = std::make_shared<Outcome>();
        auto transfer = std::make_shared<Transfer>(std::move(options), [outcome](std::shared_ptr<Transfer> done) {
            {
                std::lock_guard lock(outcome->mutex);
                outcome->done = std::move(done);
            }
            outcome->ended.notify_all();
        });
        if (auto error = transfer->prepare()) {
            response.error = *error;
            return response;
        }
        NetworkThread::shared().add(transfer);
        std::unique_lock lock(outcome->mutex);
        if (!outcome->ended.wait_until(lock, deadline, [&] { return outcome->done != nullptr; })) {
            lock.unlock();
            NetworkThread::shared().cancel(transfer);
            response.error = "The request timed out";
            return response;
        }
        lock.unlock();
        response.status = transfer->statusCode();
        if (transfer->error()) {
            response.error = *transfer->error();
            return response;
        }
        if (!transfer->isFollowableRedirect()) {
            response.body = transfer->takeBody();
            return response;
        }
        if (redirects >= HttpRequest::maxRedirects) {
            response.error = "The request failed because it redirected too many times";
            return response;
        }
        auto next = url->resolve(*transfer->location());
        if (!next || !next->isUsable()) {
            response.error = fmt::format("The request was redirected to an unusable address ({})", *transfer->location());
            return response;
        }
        response.url = next->text();
    }
}

} // namespace

BlockingResponse blockingGet(const std::string& url)
{
    BlockingResponse start;
    start.url = url;
    auto response = fetch(std::move(start));
    reportRequestEnded({response.url, response.status, response.error});
    return response;
}

} // namespace vq
