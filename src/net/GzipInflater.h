#pragma once

#include <zlib.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vq {

// Inflates a gzip stream as it arrives, refusing more than maxOutput bytes.
// Concatenated gzip members are inflated one after the other.
class GzipInflater {
public:
    // Takes each inflated chunk; returns an error message to stop.
    using Sink = std::function<std::optional<std::string>(std::string_view)>;

    explicit GzipInflater(std::size_t maxOutput);
    ~GzipInflater();
    GzipInflater(const GzipInflater&) = delete;
    GzipInflater& operator=(const GzipInflater&) = delete;

    // An error message when the input is not gzip, inflates past the cap, or the sink refuses.
    std::optional<std::string> feed(std::string_view input, const Sink& sink);
    // An error message when the stream stopped part-way through a member.
    std::optional<std::string> finish() const;
    std::size_t outputSize() const { return _total; }

private:
    z_stream _stream{};
    bool _ready = false;
    bool _sawInput = false;
    bool _memberEnded = false;
    std::size_t _maxOutput;
    std::size_t _total = 0;
};

} // namespace vq
