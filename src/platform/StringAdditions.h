#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vq {

// The MD5 digest of the text's bytes up to the first NUL, as 32 lower-case
// hex digits; nothing for an empty text.
std::optional<std::string> stringFromMD5(std::string_view text);

// UTF-8 text converted to ISO Latin-1 with every byte that may not appear in
// a URL written as "%XX" (upper-case hex): controls, the blank, bytes above
// 126 and " % < > [ \ ] ^ ` { | }. Everything else stays, so a "%" already
// present is escaped again. Nothing when the text is not valid UTF-8 or has
// a character outside Latin-1.
std::optional<std::string> percentEscapeLatin1(std::string_view utf8);

} // namespace vq
