#pragma once

#include <optional>
#include <string>

namespace vq {

// What a blocking GET got: the final response, or why there was none.
struct BlockingResponse {
    std::string url; // after the redirects followed
    int status = 0;
    std::string body;
    std::optional<std::string> error;
};

// GETs url on the network thread while the calling thread waits, following
// redirects as HttpRequest does. The wait never passes HttpRequest's
// time-out in all, and nothing else runs on the calling thread meanwhile:
// no executor is involved. The end is told to the request observer.
BlockingResponse blockingGet(const std::string& url);

} // namespace vq
