#pragma once

#include "net/CurlLibrary.h"

#include <string>
#include <vector>

namespace vq {

// Owns one curl easy handle and the header list it sends. Move-only.
class CurlEasy {
public:
    CurlEasy();
    ~CurlEasy();
    CurlEasy(CurlEasy&& other) noexcept;
    CurlEasy& operator=(CurlEasy&& other) noexcept;
    CurlEasy(const CurlEasy&) = delete;
    CurlEasy& operator=(const CurlEasy&) = delete;

    CURL* get() const { return _handle; }
    explicit operator bool() const { return _handle != nullptr; }

    template<typename T>
    bool set(CURLoption option, T value)
    {
        // A handle exists only once the library is loaded.
        return _handle && curlLibrary()->easySetopt(_handle, option, value) == CURLE_OK;
    }
    // Lines of the form "Name: value"; the handle keeps the list while it lives.
    bool setHeaders(const std::vector<std::string>& lines);
    long responseCode() const;
    // Frees the handle now (curl handles are let go on the thread that used them).
    void reset();

private:
    CURL* _handle = nullptr;
    curl_slist* _headers = nullptr;
};

} // namespace vq
