#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vq {

// Text from the server (titles, contents, descriptions, names, button
// titles) is shown up to this many bytes: layout measures it again and
// again, and one title of 64 KB held the app for seconds. Far more than
// any of its places can show.
inline constexpr std::size_t kMaxShownText = 4096;

// The text as it is shown: at most kMaxShownText bytes, cut on a character
// boundary; empty when there is none.
std::string shownText(const std::optional<std::string>& text);

} // namespace vq
