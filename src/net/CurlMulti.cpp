#include "net/CurlMulti.h"

#include "net/CurlEasy.h"

#include <utility>

namespace vq {

CurlMulti::CurlMulti()
{
    ensureCurlGlobal();
    _handle = curl_multi_init();
}

CurlMulti::~CurlMulti()
{
    if (_handle)
        curl_multi_cleanup(_handle);
}

CurlMulti::CurlMulti(CurlMulti&& other) noexcept : _handle(std::exchange(other._handle, nullptr)) {}

CurlMulti& CurlMulti::operator=(CurlMulti&& other) noexcept
{
    if (this != &other) {
        if (_handle)
            curl_multi_cleanup(_handle);
        _handle = std::exchange(other._handle, nullptr);
    }
    return *this;
}

bool CurlMulti::add(CURL* easy) { return _handle && curl_multi_add_handle(_handle, easy) == CURLM_OK; }

void CurlMulti::remove(CURL* easy)
{
    if (_handle)
        curl_multi_remove_handle(_handle, easy);
}

int CurlMulti::perform()
{
    int running = 0;
    if (_handle)
        curl_multi_perform(_handle, &running);
    return running;
}

CURLMsg* CurlMulti::nextMessage()
{
    int left = 0;
    return _handle ? curl_multi_info_read(_handle, &left) : nullptr;
}

void CurlMulti::poll(int timeoutMs)
{
    if (_handle)
        curl_multi_poll(_handle, nullptr, 0, timeoutMs, nullptr);
}

void CurlMulti::wakeup()
{
    if (_handle)
        curl_multi_wakeup(_handle);
}

} // namespace vq
