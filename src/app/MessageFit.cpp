#include "app/MessageFit.h"

#include "graphics/Graphemes.h"

#include <algorithm>
#include <optional>

namespace vq::app {

namespace {
// Wrapping and shaping can make a prefix a little shorter than one with fewer
// characters; every prefix this close above a found cut is checked as well.
constexpr std::size_t kConfirmWindow = 8;
} // namespace

TrimResult trimToFit(const std::string& text, double limit, const std::function<double(const std::string&)>& measure)
{
    if (!isValidUtf8(text)) // the cuts below are offsets into the repaired text
        return trimToFit(repairUtf8(text), limit, measure);
    auto bounds = graphemeBoundaries(text);
    std::size_t n = bounds.size() - 1; // characters
    if (n == 0)
        return {text, measure(text)};

    // The cache keeps the window check from measuring a prefix twice.
    std::vector<std::optional<double>> heights(n + 1);
    auto heightOf = [&](std::size_t k) {
        if (!heights[k])
            heights[k] = measure(text.substr(0, bounds[k]));
        return *heights[k];
    };

    // Invariant: prefix lo fits (or is empty), every prefix from hi to n - 1
    // found so far does not; the answer is the longest fitting prefix below n.
    std::size_t lo = 0;
    for (;;) {
        std::size_t hi = n;
        while (hi - lo > 1) {
            std::size_t mid = lo + (hi - lo) / 2;
            if (heightOf(mid) < limit)
                lo = mid;
            else
                hi = mid;
        }
        std::size_t better = lo;
        for (std::size_t k = lo + 2; k < n && k <= lo + 1 + kConfirmWindow; ++k)
            if (heightOf(k) < limit)
                better = k;
        if (better == lo)
            break;
        lo = better;
    }
    return {text.substr(0, bounds[lo]), heightOf(lo)};
}

double heightWithin(const std::string& text, double limit, const std::function<double(const std::string&)>& measure)
{
    // Growing prefixes keep the work near what the limit needs.
    constexpr std::size_t kFirstPrefix = 4096;
    for (std::size_t n = kFirstPrefix; n < text.size(); n *= 4) {
        std::size_t cut = n;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        double h = measure(text.substr(0, cut));
        if (h > limit)
            return h;
    }
    return measure(text);
}

} // namespace vq::app
