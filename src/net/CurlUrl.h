#pragma once

#include <curl/curl.h>

#include <optional>
#include <string>

namespace vq {

// A parsed URL (curl's URL API). Move-only; copy with clone().
class CurlUrl {
public:
    // nullopt when text is not an absolute URL curl can parse.
    static std::optional<CurlUrl> parse(const std::string& text);

    ~CurlUrl();
    CurlUrl(CurlUrl&& other) noexcept;
    CurlUrl& operator=(CurlUrl&& other) noexcept;
    CurlUrl(const CurlUrl&) = delete;
    CurlUrl& operator=(const CurlUrl&) = delete;

    // reference (absolute or relative) resolved against this URL.
    std::optional<CurlUrl> resolve(const std::string& reference) const;

    std::string text() const;
    std::string scheme() const; // lower case
    std::string host() const;   // lower case
    std::string port() const;   // the scheme's default when none is written
    bool isHttp() const;        // http or https with a host
    bool hasUserInfo() const;   // "user:password@" before the host, even an empty one
    // What requests may go to: http or https with a host and no credentials.
    bool isUsable() const { return isHttp() && !hasUserInfo(); }
    bool sameOrigin(const CurlUrl& other) const;

private:
    explicit CurlUrl(CURLU* handle) : _handle(handle) {}
    std::string part(CURLUPart which, unsigned flags = 0) const;

    CURLU* _handle = nullptr;
};

} // namespace vq
