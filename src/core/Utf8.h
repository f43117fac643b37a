#pragma once

#include <string>
#include <string_view>

namespace vq {

// Text from outside (a script, a server, the pasteboard) may not be UTF-8.
// Every malformed byte becomes one U+FFFD; well-formed text comes back as is.
bool isValidUtf8(std::string_view text);
std::string repairUtf8(std::string_view text);

} // namespace vq
