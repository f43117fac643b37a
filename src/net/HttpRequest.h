#pragma once

#include "net/Executor.h"
#include "net/HttpRequestDelegate.h"
#include "net/RunQueue.h"
#include "net/UserAgent.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vq {

class Transfer;

// An asynchronous HTTP request whose outcome goes to a delegate through the
// executor it was given, its body kept in memory or written to a file.
// Created, started, cancelled and read on that executor's thread (the main
// thread in the app).
class HttpRequest final : public std::enable_shared_from_this<HttpRequest>, private RunQueue::Operation {
public:
    static constexpr double defaultTimeOutSeconds = 10;
    // However steadily its bytes trickle in, a request ends by then.
    static constexpr double defaultDeadlineSeconds = 30;
    static constexpr int maxRedirects = 5;
    // No body is taken past this, plain or inflated, in memory or in a file.
    static constexpr std::size_t maxBodySize = std::size_t{64} << 20;

    // A new, unstarted GET of url, its callbacks sent through executor.
    static std::shared_ptr<HttpRequest> requestWithURL(std::string url, Executor executor);
    // The same through the default executor.
    static std::shared_ptr<HttpRequest> requestWithURL(std::string url);

    // Set once at launch, on the thread the executor stands for: where the
    // callbacks of requests made without an executor of their own run.
    static void setDefaultExecutor(Executor executor);
    static const Executor& defaultExecutor();
    // Set once at launch: the "User-Agent" every later request sends (none
    // when the facts hold no application name).
    static void setUserAgentFacts(const UserAgentFacts& facts);
    static const std::optional<std::string>& userAgent();

    // Not retained; pass nullptr (or an empty pointer) to clear it.
    void setDelegate(std::weak_ptr<HttpRequestDelegate> delegate) { _delegate = std::move(delegate); }
    std::shared_ptr<HttpRequestDelegate> delegate() const { return _delegate.lock(); }

    // The body goes to this file instead of memory, whatever the status.
    void setDownloadDestinationPath(std::filesystem::path path) { _destination = std::move(path); }
    const std::optional<std::filesystem::path>& downloadDestinationPath() const { return _destination; }

    // Not used by the app; here so redirects can be made to treat them by the rules.
    void setRequestMethod(std::string method) { _method = std::move(method); }
    void setPostBody(std::string body) { _body = std::move(body); }
    void addRequestHeader(std::string name, std::string value);

    // Seconds from the moment the queue starts it to the moment it fails with
    // "The request timed out", redirects and all; defaultDeadlineSeconds unless set.
    void setDeadlineSeconds(double seconds) { _deadlineSeconds = seconds; }
    double deadlineSeconds() const { return _deadlineSeconds; }
    // Waits behind every request that is not (pictures), set before it starts.
    void setLowPriority(bool low) { _lowPriority = low; }

    // Hands the request to the shared run queue and returns at once. A request starts once.
    void startAsynchronous();
    // From the moment the queue starts it until it has finished or failed.
    bool isExecuting() const { return _state == State::Executing; }
    bool isFinished() const { return _state == State::Ended; }
    // A request that has not ended fails with "The request was cancelled".
    void cancel();
    // Nothing is sent to the delegate afterwards.
    void clearDelegatesAndCancel();

    // Moves to the new address with each redirect followed.
    const std::string& url() const { return _url; }
    // 0 while no response head has arrived.
    int responseStatusCode() const { return _responseStatusCode; }
    // Inflated when it came gzip-encoded; empty when the body went to a file.
    const std::string& responseData() const { return _responseData; }
    // A field of the final response's head by name, ignoring case (the first
    // when it repeats); nothing before a response or when it was not sent.
    std::optional<std::string> responseHeader(std::string_view name) const;
    // Why it failed, once it has.
    const std::optional<std::string>& error() const { return _error; }

    // Tests only: how long a request may go without a byte sent or received.
    static void setTimeOutSecondsForTesting(double seconds);
    // That time-out, which every request of the app keeps to.
    static double timeOutSeconds();

    struct Token {};
    HttpRequest(Token, std::string url, Executor executor);
    ~HttpRequest() override;

private:
    enum class State { Idle, Waiting, Executing, Ended };

    void start() override;
    const Executor& executor() const override { return _executor; }
    bool isLowPriority() const override { return _lowPriority; }
    void startAttempt();
    void attemptEnded(const std::shared_ptr<Transfer>& transfer);
    void followRedirect(const Transfer& transfer);
    void complete(const std::shared_ptr<Transfer>& transfer);
    void finish();
    void fail(std::string message);
    void end();
    std::vector<std::string> headerLines() const;

    std::string _url;
    Executor _executor;
    std::weak_ptr<HttpRequestDelegate> _delegate;
    std::optional<std::filesystem::path> _destination;
    std::string _method = "GET";
    std::optional<std::string> _body;
    std::vector<std::pair<std::string, std::string>> _headers;

    double _deadlineSeconds = defaultDeadlineSeconds;
    bool _lowPriority = false;
    std::chrono::steady_clock::time_point _deadline;
    State _state = State::Idle;
    int _redirectCount = 0;
    std::shared_ptr<Transfer> _attempt;
    int _responseStatusCode = 0;
    std::string _responseData;
    std::vector<std::pair<std::string, std::string>> _responseHeaders;
    std::optional<std::string> _error;
};

} // namespace vq
