// Gzip bodies come from any server: the HTTP service's inflater must refuse bad
// streams and bombs cleanly, and give the same answer however the bytes are split.
#include "Check.h"

#include "net/GzipInflater.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Outcome {
    std::string output;
    bool failed = false;
};

Outcome inflate(const std::vector<std::string>& pieces, std::size_t cap)
{
    vq::GzipInflater inflater(cap);
    Outcome out;
    auto sink = [&](std::string_view chunk) -> std::optional<std::string> {
        out.output.append(chunk);
        return std::nullopt;
    };
    for (const auto& piece : pieces) {
        if (inflater.feed(piece, sink)) {
            out.failed = true;
            break;
        }
    }
    if (!out.failed && inflater.finish())
        out.failed = true;
    require(out.output.size() <= cap, "more output than the cap");
    require(out.failed || inflater.outputSize() == out.output.size(), "outputSize differs from what was handed on");
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    std::size_t cap = in.ConsumeIntegralInRange<std::size_t>(0, 1 << 20);
    std::vector<std::size_t> cuts;
    for (int i = in.ConsumeIntegralInRange(0, 8); i > 0; --i)
        cuts.push_back(in.ConsumeIntegral<std::uint16_t>());
    std::string body = in.ConsumeRemainingBytesAsString();

    Outcome whole = inflate({body}, cap);
    std::vector<std::string> pieces;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        std::size_t n = std::min(cut % (body.size() + 1), body.size() - at);
        pieces.push_back(body.substr(at, n));
        at += n;
    }
    pieces.push_back(body.substr(at));
    Outcome split = inflate(pieces, cap);
    // Output already handed on stays handed on, so only a stream that ends well must match exactly.
    require(whole.failed == split.failed, "splitting the body changes whether it inflates");
    require(whole.failed || whole.output == split.output, "splitting the body changes what it inflates to");
    return 0;
}
