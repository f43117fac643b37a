#pragma once

#include <curl/curl.h>

namespace vq {

// Owns one curl multi handle. Move-only. Only wakeup() may be called from
// another thread than the one driving it.
class CurlMulti {
public:
    CurlMulti();
    ~CurlMulti();
    CurlMulti(CurlMulti&& other) noexcept;
    CurlMulti& operator=(CurlMulti&& other) noexcept;
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    explicit operator bool() const { return _handle != nullptr; }

    bool add(CURL* easy);
    void remove(CURL* easy);
    // Runs what is ready; returns the number of transfers still running.
    int perform();
    // The next finished transfer, or nullptr. The message is valid until the
    // next call or until its easy handle is removed.
    CURLMsg* nextMessage();
    // Waits for socket activity, curl's own timers, a wakeup or timeoutMs.
    void poll(int timeoutMs);
    void wakeup();

private:
    CURLM* _handle = nullptr;
};

} // namespace vq
