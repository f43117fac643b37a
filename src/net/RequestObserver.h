#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vq {

// How one request the app made ended: a status, or why there was none.
struct RequestEnded {
    std::string url;
    int status = 0;
    std::optional<std::string> error;
};

// Set once at launch (the hosts turn it into "http" events); called on the
// callbacks' thread as each request ends. Empty: nobody listens.
void setRequestObserver(std::function<void(const RequestEnded&)> observer);
// Tells the observer, if there is one.
void reportRequestEnded(const RequestEnded& ended);

} // namespace vq
