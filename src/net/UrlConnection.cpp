#include "net/UrlConnection.h"

#include "net/CurlUrl.h"
#include "net/HttpRequest.h"
#include "net/NetworkThread.h"
#include "net/RequestObserver.h"
#include "net/Transfer.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace vq {

namespace {

std::size_t& running()
{
    static std::size_t count = 0;
    return count;
}

} // namespace

std::size_t UrlConnection::runningCount() { return running(); }

UrlConnection::UrlConnection(Token, std::string url, std::weak_ptr<UrlConnectionDelegate> delegate, Executor executor)
    : _url(std::move(url)), _delegate(std::move(delegate)), _executor(std::move(executor))
{}

UrlConnection::~UrlConnection() = default;

std::shared_ptr<UrlConnection> UrlConnection::start(std::string url, std::weak_ptr<UrlConnectionDelegate> delegate)
{
    return start(std::move(url), std::move(delegate), HttpRequest::defaultExecutor());
}

std::shared_ptr<UrlConnection> UrlConnection::start(std::string url, std::weak_ptr<UrlConnectionDelegate> delegate,
                                                    Executor executor)
{
    if (!executor) {
        // No thread to report to: a launch that forgot HttpRequest::setDefaultExecutor.
        std::fputs("UrlConnection: started without an executor for its callbacks\n", stderr);
        std::abort();
    }
    auto connection =
        std::make_shared<UrlConnection>(Token{}, std::move(url), std::move(delegate), std::move(executor));
    connection->_self = connection;
    ++running();
    connection->_executor([connection] { connection->request(); });
    return connection;
}

void UrlConnection::request()
{
    if (!_running)
        return;
    if (auto delegate = _delegate.lock(); delegate && !delegate->willSendRequest(*this, _url))
        return end();
    if (!_running) // the delegate cancelled from inside its callback
        return;
    auto url = CurlUrl::parse(_url);
    if (!url || !url->isUsable())
        return fail("Unable to create request (bad url?)");

    TransferOptions options;
    options.url = url->text();
    if (const auto& agent = HttpRequest::userAgent())
        options.headerLines.push_back("User-Agent: " + *agent);
    options.timeOutSeconds = HttpRequest::timeOutSeconds();
    options.deadline = _deadline;
    options.maxBodySize = keptBodySize;
    options.truncateBody = true;
    std::weak_ptr<UrlConnection> weak = weak_from_this();
    auto transfer =
        std::make_shared<Transfer>(std::move(options), [weak, executor = _executor](std::shared_ptr<Transfer> done) {
            executor([weak, done = std::move(done)] {
                if (auto connection = weak.lock())
                    connection->attemptEnded(done);
            });
        });
    if (auto error = transfer->prepare())
        return fail(*error);
    _attempt = transfer;
    NetworkThread::shared().add(std::move(transfer));
}

void UrlConnection::attemptEnded(const std::shared_ptr<Transfer>& transfer)
{
    if (transfer != _attempt || !_running)
        return;
    _attempt.reset();
    _status = transfer->statusCode();
    if (transfer->error()) {
        reportRequestEnded({_url, 0, transfer->error()});
        return fail(*transfer->error());
    }
    reportRequestEnded({_url, _status, std::nullopt});
    if (!transfer->isFollowableRedirect()) {
        _data = transfer->takeBody();
        auto self = shared_from_this();
        end();
        if (auto delegate = _delegate.lock())
            delegate->connectionDidFinishLoading(*this);
        return;
    }
    if (_redirects >= maxRedirects)
        return fail("The connection failed because it redirected too many times");
    auto next = redirectTarget(_url, *transfer->location());
    if (!next)
        return fail(fmt::format("The connection was redirected to an unusable address ({})", *transfer->location()));
    ++_redirects;
    _url = std::move(*next);
    request();
}

std::optional<std::string> UrlConnection::redirectTarget(const std::string& url, const std::string& location)
{
    auto current = CurlUrl::parse(url);
    auto next = current ? current->resolve(location) : std::nullopt;
    if (!next || !next->isUsable())
        return std::nullopt;
    return next->text();
}

void UrlConnection::cancel()
{
    if (_running)
        end();
}

void UrlConnection::fail(const std::string& message)
{
    auto self = shared_from_this();
    end();
    if (auto delegate = _delegate.lock())
        delegate->didFailWithError(*this, message);
}

void UrlConnection::end()
{
    if (!_running)
        return;
    _running = false;
    --running();
    if (_attempt)
        NetworkThread::shared().cancel(std::exchange(_attempt, nullptr));
    // Dropped last: a caller inside this connection holds its own reference.
    auto self = std::move(_self);
}

} // namespace vq
