#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vq::app {

struct TrimResult {
    std::string text;
    double height = 0; // the last measured height, that of text
};

// Removes characters from the end, at least one, until the measured height is
// below limit, as removing one at a time and measuring each time would; it
// just measures far fewer prefixes to get there.
TrimResult trimToFit(const std::string& text, double limit, const std::function<double(const std::string&)>& measure);

// The measured height of text, or, when text is long, possibly that of a
// prefix already taller than limit: a prefix lays out as the start of the
// whole, so the whole is over the limit too, and a pasted book is not laid
// out only to be undone. A text within the limit is always measured whole.
double heightWithin(const std::string& text, double limit, const std::function<double(const std::string&)>& measure);

} // namespace vq::app
