#include "net/GzipInflater.h"

#include <fmt/format.h>

#include <array>

namespace vq {

namespace {

constexpr int gzipOnlyWindowBits = 15 + 16;
constexpr const char* notGzip = "The response claims gzip encoding but is not valid gzip data";

} // namespace

GzipInflater::GzipInflater(std::size_t maxOutput) : _maxOutput(maxOutput)
{
    _ready = inflateInit2(&_stream, gzipOnlyWindowBits) == Z_OK;
}

GzipInflater::~GzipInflater()
{
    if (_ready)
        inflateEnd(&_stream);
}

std::optional<std::string> GzipInflater::feed(std::string_view input, const Sink& sink)
{
    if (!_ready)
        return std::string("Unable to start inflating the response");
    if (input.empty())
        return std::nullopt;
    _sawInput = true;
    _stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    _stream.avail_in = static_cast<uInt>(input.size());
    std::array<char, 16384> out;
    do {
        if (_memberEnded) {
            // More bytes after a complete member: the next member starts.
            inflateReset(&_stream);
            _memberEnded = false;
        }
        _stream.next_out = reinterpret_cast<Bytef*>(out.data());
        _stream.avail_out = static_cast<uInt>(out.size());
        int rc = inflate(&_stream, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return std::string(notGzip);
        std::size_t produced = out.size() - _stream.avail_out;
        if (produced > 0) {
            _total += produced;
            if (_total > _maxOutput)
                return fmt::format("The response is larger than {} bytes when inflated", _maxOutput);
            if (auto error = sink(std::string_view(out.data(), produced)))
                return error;
        }
        if (rc == Z_STREAM_END)
            _memberEnded = true;
        else if (rc == Z_BUF_ERROR && produced == 0)
            break; // needs more input
    } while (_stream.avail_in > 0 || _stream.avail_out == 0);
    return std::nullopt;
}

std::optional<std::string> GzipInflater::finish() const
{
    if (_sawInput && !_memberEnded)
        return std::string(notGzip);
    return std::nullopt;
}

} // namespace vq
