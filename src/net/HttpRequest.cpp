#include "net/HttpRequest.h"

#include "net/CurlLibrary.h"
#include "net/CurlUrl.h"
#include "net/NetworkSwitch.h"
#include "net/NetworkThread.h"
#include "net/RequestObserver.h"
#include "net/Transfer.h"
#include "net/UserAgent.h"

#include <fmt/format.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace vq {

namespace {

constexpr const char* badUrl = "Unable to create request (bad url?)";

std::atomic<double> sharedTimeOut{HttpRequest::defaultTimeOutSeconds};

bool sameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// Both set at launch and read on the executor's thread only.
Executor& sharedExecutor()
{
    static Executor executor;
    return executor;
}

std::optional<std::string>& sharedUserAgent()
{
    static std::optional<std::string> agent;
    return agent;
}

} // namespace

std::shared_ptr<HttpRequest> HttpRequest::requestWithURL(std::string url, Executor executor)
{
    return std::make_shared<HttpRequest>(Token{}, std::move(url), std::move(executor));
}

std::shared_ptr<HttpRequest> HttpRequest::requestWithURL(std::string url)
{
    return requestWithURL(std::move(url), sharedExecutor());
}

void HttpRequest::setDefaultExecutor(Executor executor) { sharedExecutor() = std::move(executor); }

const Executor& HttpRequest::defaultExecutor() { return sharedExecutor(); }

void HttpRequest::setUserAgentFacts(const UserAgentFacts& facts) { sharedUserAgent() = UserAgent::format(facts); }

const std::optional<std::string>& HttpRequest::userAgent() { return sharedUserAgent(); }

HttpRequest::HttpRequest(Token, std::string url, Executor executor)
    : _url(std::move(url)), _executor(std::move(executor))
{
}

HttpRequest::~HttpRequest() = default;

void HttpRequest::setTimeOutSecondsForTesting(double seconds) { sharedTimeOut = seconds; }

double HttpRequest::timeOutSeconds() { return sharedTimeOut; }

void HttpRequest::addRequestHeader(std::string name, std::string value)
{
    _headers.emplace_back(std::move(name), std::move(value));
}

void HttpRequest::startAsynchronous()
{
    if (_state != State::Idle)
        return;
    if (!_executor) {
        // No thread to report to: a launch that forgot setDefaultExecutor.
        std::fputs("HttpRequest: started without an executor for its callbacks\n", stderr);
        std::abort();
    }
    _state = State::Waiting;
    auto self = shared_from_this();
    RunQueue::shared().add(std::shared_ptr<RunQueue::Operation>(self, static_cast<RunQueue::Operation*>(this)));
}

void HttpRequest::start()
{
    if (_state != State::Waiting)
        return;
    _state = State::Executing;
    _deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                        std::chrono::duration<double>(_deadlineSeconds));
    startAttempt();
}

std::vector<std::string> HttpRequest::headerLines() const
{
    std::vector<std::string> lines;
    const auto& agent = userAgent();
    bool ownAgent = std::any_of(_headers.begin(), _headers.end(), [](auto& h) { return sameName(h.first, "User-Agent"); });
    if (agent && !ownAgent)
        lines.push_back("User-Agent: " + *agent);
    // Always gzip and nothing else: that is all this side can inflate.
    lines.emplace_back("Accept-Encoding: gzip");
    for (const auto& [name, value] : _headers)
        if (!sameName(name, "Accept-Encoding"))
            lines.push_back(name + ": " + value);
    return lines;
}

void HttpRequest::startAttempt()
{
    auto self = shared_from_this();
    // Off, nothing is looked at: not even the library that would read the URL is loaded.
    if (!isNetworkEnabled())
        return fail("The network is off");
    if (!curlLibraryReady()) {
        // The library loads on a thread of its own, so the run loop goes on drawing meanwhile;
        // the attempt starts when it is there, unless the request ended while it waited.
        std::weak_ptr<HttpRequest> weak = self;
        preloadCurlLibrary([weak, executor = _executor] {
            executor([weak] {
                if (auto request = weak.lock(); request && request->_state == State::Executing && !request->_attempt)
                    request->startAttempt();
            });
        });
        return;
    }
    auto url = CurlUrl::parse(_url);
    if (!url || !url->isUsable())
        return fail(badUrl);

    TransferOptions options;
    options.url = url->text();
    options.method = _method;
    options.body = _body;
    options.headerLines = headerLines();
    options.destination = _destination;
    options.timeOutSeconds = timeOutSeconds();
    options.deadline = _deadline;
    options.maxBodySize = maxBodySize;
    std::weak_ptr<HttpRequest> weak = self;
    auto transfer = std::make_shared<Transfer>(std::move(options), [weak, executor = _executor](std::shared_ptr<Transfer> done) {
        executor([weak, done = std::move(done)] {
            if (auto request = weak.lock())
                request->attemptEnded(done);
        });
    });
    if (auto error = transfer->prepare())
        return fail(*error);

    _responseStatusCode = 0;
    _attempt = transfer;
    NetworkThread::shared().add(std::move(transfer));
    if (auto delegate = _delegate.lock())
        delegate->requestStarted(self);
}

void HttpRequest::attemptEnded(const std::shared_ptr<Transfer>& transfer)
{
    // A cancelled attempt may still report in; only the current one counts.
    if (transfer != _attempt || _state != State::Executing)
        return;
    auto self = shared_from_this();
    _attempt.reset();
    // A head that arrived keeps its status, even when the body then fails.
    _responseStatusCode = transfer->statusCode();
    _responseHeaders = transfer->headers();
    if (transfer->error())
        return fail(*transfer->error());
    if (transfer->isFollowableRedirect())
        return followRedirect(*transfer);
    complete(transfer);
}

void HttpRequest::followRedirect(const Transfer& transfer)
{
    if (_redirectCount >= maxRedirects)
        return fail("The request failed because it redirected too many times");
    auto current = CurlUrl::parse(_url);
    auto next = current ? current->resolve(*transfer.location()) : std::nullopt;
    if (!next || !next->isUsable())
        return fail(fmt::format("The request was redirected to an unusable address ({})", *transfer.location()));

    if (transfer.statusCode() != 307) {
        _method = "GET";
        _body.reset();
        std::erase_if(_headers, [](auto& h) { return !sameName(h.first, "User-Agent") && !sameName(h.first, "Accept"); });
    }
    if (!current->sameOrigin(*next)) {
        // Credentials and cookies belong to the host they were meant for.
        std::erase_if(_headers, [](auto& h) {
            return sameName(h.first, "Authorization") || sameName(h.first, "Proxy-Authorization") ||
                   sameName(h.first, "Cookie");
        });
    }
    ++_redirectCount;
    _url = next->text();
    startAttempt();
}

void HttpRequest::complete(const std::shared_ptr<Transfer>& transfer)
{
    if (auto& file = transfer->file()) {
        std::error_code ec;
        std::filesystem::rename(file->path(), *_destination, ec);
        if (ec) {
            auto message = fmt::format("Failed to move file from '{}' to '{}'", file->path().string(),
                                       _destination->string());
            file.reset(); // gone before anyone hears of the failure
            return fail(std::move(message));
        }
        file->keep();
    } else {
        _responseData = transfer->takeBody();
    }
    if (_responseStatusCode == 401)
        return fail("Authentication needed");
    finish();
}

std::optional<std::string> HttpRequest::responseHeader(std::string_view name) const
{
    for (const auto& [field, value] : _responseHeaders)
        if (field.size() == name.size() && strncasecmp(field.c_str(), name.data(), name.size()) == 0)
            return value;
    return std::nullopt;
}

void HttpRequest::cancel()
{
    if (_state == State::Ended)
        return;
    fail("The request was cancelled");
}

void HttpRequest::clearDelegatesAndCancel()
{
    _delegate.reset();
    cancel();
}

void HttpRequest::end()
{
    bool queued = _state == State::Waiting || _state == State::Executing;
    _state = State::Ended;
    if (_attempt)
        NetworkThread::shared().cancel(std::exchange(_attempt, nullptr));
    if (queued)
        RunQueue::shared().remove(this);
}

void HttpRequest::finish()
{
    auto self = shared_from_this();
    end();
    reportRequestEnded({_url, _responseStatusCode, std::nullopt});
    if (!_executor)
        return; // never started, so nobody waits to hear
    _executor([self] {
        if (auto delegate = self->_delegate.lock())
            delegate->requestFinished(self);
    });
}

void HttpRequest::fail(std::string message)
{
    if (_state == State::Ended)
        return;
    auto self = shared_from_this();
    _error = std::move(message);
    bool started = _state != State::Idle;
    end();
    if (started)
        reportRequestEnded({_url, _responseStatusCode, _error});
    if (!_executor)
        return; // never started, so nobody waits to hear
    _executor([self] {
        if (auto delegate = self->_delegate.lock())
            delegate->requestFailed(self);
    });
}

} // namespace vq
