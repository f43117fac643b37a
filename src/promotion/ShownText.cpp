#include "promotion/ShownText.h"

#include "core/StringAdditions.h"

namespace vq {

std::string shownText(const std::optional<std::string>& text)
{
    return text ? std::string(prefixWithin(*text, kMaxShownText)) : std::string();
}

} // namespace vq
