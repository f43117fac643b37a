#pragma once

#include "net/Executor.h"
#include "net/HttpRequest.h"

#include <cstddef>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace vq {

class Transfer;
class UrlConnection;

// What a URL connection tells its delegate, on its executor's thread.
class UrlConnectionDelegate {
public:
    virtual ~UrlConnectionDelegate() = default;

    // Before each request (the first and every redirect) with the URL about to
    // be requested; false cancels the connection and the request is never sent.
    virtual bool willSendRequest(UrlConnection&, const std::string&) { return true; }
    // The last request ended with a response that is not a redirect.
    virtual void connectionDidFinishLoading(UrlConnection&) {}
    // No response: a connection error, a time-out, a bad or looping redirect.
    virtual void didFailWithError(UrlConnection&, const std::string&) {}
};

// A GET that follows redirects itself (http and https only, at most
// maxRedirects) and keeps only the start of the final body. Created and
// used on its executor's thread; it keeps itself alive until it ends.
class UrlConnection final : public std::enable_shared_from_this<UrlConnection> {
public:
    static constexpr int maxRedirects = 20;
    // The most of the final body kept; the rest is dropped.
    static constexpr std::size_t keptBodySize = 16 * 1024;

    // Starts at once through the default executor of HttpRequest; the first
    // callback comes later, never inside this call. The delegate is not retained.
    static std::shared_ptr<UrlConnection> start(std::string url, std::weak_ptr<UrlConnectionDelegate> delegate);
    // The same with callbacks through executor.
    static std::shared_ptr<UrlConnection> start(std::string url, std::weak_ptr<UrlConnectionDelegate> delegate,
                                                Executor executor);

    // Nothing more is sent or called back.
    void cancel();
    bool isRunning() const { return _running; }
    // The URL of the latest request.
    const std::string& url() const { return _url; }
    // The final response's status and the start of its body.
    int statusCode() const { return _status; }
    const std::string& data() const { return _data; }

    // Where a redirect from url with this Location leads: the next URL to
    // request, or nothing when it resolves to no address requests may go to.
    static std::optional<std::string> redirectTarget(const std::string& url, const std::string& location);

    // Connections started and not yet ended, on the executor's thread.
    static std::size_t runningCount();

    struct Token {};
    UrlConnection(Token, std::string url, std::weak_ptr<UrlConnectionDelegate> delegate, Executor executor);
    ~UrlConnection();

private:
    void request();
    void attemptEnded(const std::shared_ptr<Transfer>& transfer);
    void fail(const std::string& message);
    void end();

    std::string _url;
    std::weak_ptr<UrlConnectionDelegate> _delegate;
    Executor _executor;
    bool _running = true;
    int _redirects = 0;
    // The whole visit, redirects and all, ends by then.
    std::chrono::steady_clock::time_point _deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(HttpRequest::defaultDeadlineSeconds));
    std::shared_ptr<Transfer> _attempt;
    std::shared_ptr<UrlConnection> _self; // held while running
    int _status = 0;
    std::string _data;
};

} // namespace vq
