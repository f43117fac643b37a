#pragma once

#include "net/CurlEasy.h"
#include "net/GzipInflater.h"
#include "net/TempFile.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vq {

struct TransferOptions {
    std::string url;
    std::string method = "GET";
    std::optional<std::string> body;
    std::vector<std::string> headerLines; // "Name: value"
    std::optional<std::filesystem::path> destination;
    double timeOutSeconds = 10;
    // Whatever arrives meanwhile, the exchange ends by then.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::size_t maxBodySize = 64u << 20; // plain or inflated
    // Keep the first maxBodySize bytes as they came (never inflated) and drop
    // the rest, instead of failing a longer body.
    bool truncateBody = false;
};

// One HTTP exchange (a request and its response, no redirects followed).
// Built on the main thread, run on the network thread, read on the main
// thread once `done` has been called; the hand-overs go through locks, so
// no two threads touch it at once.
class Transfer : public std::enable_shared_from_this<Transfer> {
public:
    using Done = std::function<void(std::shared_ptr<Transfer>)>; // called on the network thread

    Transfer(TransferOptions options, Done done);

    // Main thread, before the hand-over: an error message when curl refuses the options.
    std::optional<std::string> prepare();

    // Network thread.
    CURL* handle() const { return _easy.get(); }
    void noteActivity();
    // When it times out: idle for timeOutSeconds, or at its deadline.
    std::chrono::steady_clock::time_point timesOutAt() const;
    // The exchange ended with rc; finalises the body, lets go of the handle and calls done.
    void complete(CURLcode rc);
    // Ends it with message instead (a time-out); calls done.
    void fail(std::string message);
    // Dropped without a word (cancelled, or the thread is shutting down).
    void abandon();

    // Main thread, after done.
    int statusCode() const { return _status; }
    const std::optional<std::string>& location() const { return _location; }
    // The final response head's fields, in order, names as sent.
    const std::vector<std::pair<std::string, std::string>>& headers() const { return _headers; }
    const std::optional<std::string>& error() const { return _error; }
    std::string takeBody() { return std::move(_body); }
    // The body on disk, when a destination was given and the response was kept.
    std::optional<TempFile>& file() { return _file; }
    bool isFollowableRedirect() const;

private:
    enum class BodyMode { Undecided, Discard, Memory, File };

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
    static int onProgress(void* self, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow);

    // False when the response must not be taken.
    bool header(std::string_view line);
    bool body(std::string_view bytes);
    void decideBodyMode();
    std::optional<std::string> store(std::string_view bytes);
    std::string tooLarge() const;
    void finalise(CURLcode rc);
    void release();

    TransferOptions _options;
    Done _done;
    CurlEasy _easy;
    char _errorBuffer[CURL_ERROR_SIZE] = {};

    std::chrono::steady_clock::time_point _lastActivity;
    curl_off_t _lastDown = 0;
    curl_off_t _lastUp = 0;

    int _status = 0;
    std::optional<std::string> _location;
    std::vector<std::pair<std::string, std::string>> _headers;
    bool _gzip = false;
    std::optional<std::size_t> _contentLength;
    std::size_t _received = 0; // body bytes kept, before any inflating
    BodyMode _mode = BodyMode::Undecided;
    std::optional<GzipInflater> _inflater;
    std::string _body;
    std::optional<TempFile> _file;
    std::optional<std::string> _error;
};

} // namespace vq
