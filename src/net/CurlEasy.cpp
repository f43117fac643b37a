#include "net/CurlEasy.h"

#include <utility>

namespace vq {

CurlEasy::CurlEasy()
{
    if (const CurlLibrary* curl = curlLibrary())
        _handle = curl->easyInit();
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
    if (!_handle)
        return false;
    const CurlLibrary* curl = curlLibrary();
    curl_slist* list = nullptr;
    for (const auto& line : lines) {
        curl_slist* grown = curl->slistAppend(list, line.c_str());
        if (!grown) {
            curl->slistFreeAll(list);
            return false;
        }
        list = grown;
    }
    if (!set(CURLOPT_HTTPHEADER, list)) {
        curl->slistFreeAll(list);
        return false;
    }
    curl->slistFreeAll(_headers);
    _headers = list;
    return true;
}

long CurlEasy::responseCode() const
{
    long code = 0;
    if (_handle)
        curlLibrary()->easyGetinfo(_handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

void CurlEasy::reset()
{
    if (!_handle && !_headers)
        return;
    const CurlLibrary* curl = curlLibrary();
    if (_handle)
        curl->easyCleanup(std::exchange(_handle, nullptr));
    // After the handle: it points at the list until cleaned up.
    curl->slistFreeAll(std::exchange(_headers, nullptr));
}

} // namespace vq
