#include "net/CurlUrl.h"

#include "net/CurlEasy.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace vq {

std::optional<CurlUrl> CurlUrl::parse(const std::string& text)
{
    // curl reads the address up to a NUL: it would name somewhere else.
    if (text.find('\0') != std::string::npos)
        return std::nullopt;
    const CurlLibrary* curl = curlLibrary();
    if (!curl)
        return std::nullopt;
    CURLU* handle = curl->url();
    if (!handle)
        return std::nullopt;
    CurlUrl url(handle);
    if (curl->urlSet(handle, CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    return url;
}

CurlUrl::~CurlUrl()
{
    if (_handle)
        curlLibrary()->urlCleanup(_handle);
}

CurlUrl::CurlUrl(CurlUrl&& other) noexcept : _handle(std::exchange(other._handle, nullptr)) {}

CurlUrl& CurlUrl::operator=(CurlUrl&& other) noexcept
{
    if (this != &other) {
        if (_handle)
            curlLibrary()->urlCleanup(_handle);
        _handle = std::exchange(other._handle, nullptr);
    }
    return *this;
}

std::optional<CurlUrl> CurlUrl::resolve(const std::string& reference) const
{
    CURLU* copy = curlLibrary()->urlDup(_handle);
    if (!copy)
        return std::nullopt;
    CurlUrl url(copy);
    if (curlLibrary()->urlSet(copy, CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    return url;
}

std::string CurlUrl::part(CURLUPart which, unsigned flags) const
{
    char* value = nullptr;
    if (curlLibrary()->urlGet(_handle, which, &value, flags) != CURLUE_OK || !value)
        return {};
    std::string result(value);
    curlLibrary()->free(value);
    return result;
}

std::string CurlUrl::text() const { return part(CURLUPART_URL); }

namespace {

std::string lowered(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

std::string CurlUrl::scheme() const { return lowered(part(CURLUPART_SCHEME)); }

std::string CurlUrl::host() const { return lowered(part(CURLUPART_HOST)); }

std::string CurlUrl::port() const { return part(CURLUPART_PORT, CURLU_DEFAULT_PORT); }

bool CurlUrl::isHttp() const
{
    auto s = scheme();
    return (s == "http" || s == "https") && !host().empty();
}

bool CurlUrl::hasUserInfo() const
{
    auto present = [this](CURLUPart which) {
        char* value = nullptr;
        bool found = curlLibrary()->urlGet(_handle, which, &value, 0) == CURLUE_OK;
        curlLibrary()->free(value);
        return found;
    };
    return present(CURLUPART_USER) || present(CURLUPART_PASSWORD);
}

bool CurlUrl::sameOrigin(const CurlUrl& other) const
{
    return scheme() == other.scheme() && host() == other.host() && port() == other.port();
}

} // namespace vq
