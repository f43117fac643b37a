#pragma once

#include "core/Utf8.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

// Byte offsets where a user-perceived character starts, plus the text's end:
// 0 first, text.size() last (just {0} for an empty text). Cutting at any of
// them never splits an emoji with its modifiers, a flag, or a letter from its
// marks. The offsets are into repairUtf8(text), which is text itself when it
// is well-formed.
std::vector<std::size_t> graphemeBoundaries(std::string_view text);

// One string per user-perceived character of repairUtf8(text).
std::vector<std::string> graphemeClusters(std::string_view text);

// The boundary before byteIndex in well-formed text (0 at the start): where
// deleting the character before a caret at byteIndex begins.
std::size_t previousGraphemeBoundary(std::string_view text, std::size_t byteIndex);

} // namespace vq
