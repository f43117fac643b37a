#pragma once

#include <memory>

namespace vq {

class HttpRequest;

// What a request tells its delegate, always on the main thread. Every
// operation is optional.
class HttpRequestDelegate {
public:
    virtual ~HttpRequestDelegate() = default;

    // An attempt starts: the first one, and again after each redirect followed.
    virtual void requestStarted(const std::shared_ptr<HttpRequest>&) {}
    // A complete response arrived (any status but 401).
    virtual void requestFinished(const std::shared_ptr<HttpRequest>&) {}
    // No usable response; HttpRequest::error() says why.
    virtual void requestFailed(const std::shared_ptr<HttpRequest>&) {}
};

} // namespace vq
