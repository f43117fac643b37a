#include "net/CurlEasy.h"

#include <utility>

namespace vq {

namespace {

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
};

} // namespace

void ensureCurlGlobal()
{
    static CurlGlobal global;
}

CurlEasy::CurlEasy()
{
    ensureCurlGlobal();
    _handle = curl_easy_init();
}

CurlEasy::~CurlEasy() { reset(); }

CurlEasy::CurlEasy(CurlEasy&& other) noexcept
    : _handle(std::exchange(other._handle, nullptr)), _headers(std::exchange(other._headers, nullptr))
{
}

CurlEasy& CurlEasy::operator=(CurlEasy&& other) noexcept
{
    if (this != &other) {
        reset();
        _handle = std::exchange(other._handle, nullptr);
        _headers = std::exchange(other._headers, nullptr);
    }
    return *this;
}

bool CurlEasy::setHeaders(const std::vector<std::string>& lines)
{
    curl_slist* list = nullptr;
    for (const auto& line : lines) {
        curl_slist* grown = curl_slist_append(list, line.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            return false;
        }
        list = grown;
    }
    if (!set(CURLOPT_HTTPHEADER, list)) {
        curl_slist_free_all(list);
        return false;
    }
    curl_slist_free_all(_headers);
    _headers = list;
    return true;
}

long CurlEasy::responseCode() const
{
    long code = 0;
    if (_handle)
        curl_easy_getinfo(_handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

void CurlEasy::reset()
{
    if (_handle)
        curl_easy_cleanup(std::exchange(_handle, nullptr));
    // After the handle: it points at the list until cleaned up.
    curl_slist_free_all(std::exchange(_headers, nullptr));
}

} // namespace vq
