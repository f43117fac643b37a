#include "net/CurlMulti.h"

#include "net/CurlEasy.h"

#include <utility>

namespace vq {

CurlMulti::CurlMulti()
{
    if (const CurlLibrary* curl = curlLibrary())
        _handle = curl->multiInit();
}

CurlMulti::~CurlMulti()
{
    if (_handle)
        curlLibrary()->multiCleanup(_handle);
}

CurlMulti::CurlMulti(CurlMulti&& other) noexcept : _handle(std::exchange(other._handle, nullptr)) {}

CurlMulti& CurlMulti::operator=(CurlMulti&& other) noexcept
{
    if (this != &other) {
        if (_handle)
            curlLibrary()->multiCleanup(_handle);
        _handle = std::exchange(other._handle, nullptr);
    }
    return *this;
}

bool CurlMulti::add(CURL* easy) { return _handle && curlLibrary()->multiAddHandle(_handle, easy) == CURLM_OK; }

void CurlMulti::remove(CURL* easy)
{
    if (_handle)
        curlLibrary()->multiRemoveHandle(_handle, easy);
}

int CurlMulti::perform()
{
    int running = 0;
    if (_handle)
        curlLibrary()->multiPerform(_handle, &running);
    return running;
}

CURLMsg* CurlMulti::nextMessage()
{
    int left = 0;
    return _handle ? curlLibrary()->multiInfoRead(_handle, &left) : nullptr;
}

void CurlMulti::poll(int timeoutMs)
{
    if (_handle)
        curlLibrary()->multiPoll(_handle, nullptr, 0, timeoutMs, nullptr);
}

void CurlMulti::wakeup()
{
    if (_handle)
        curlLibrary()->multiWakeup(_handle);
}

} // namespace vq
