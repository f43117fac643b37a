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
// 126 and " % < > [ \ ] ^ ` { | }, and any in alsoEscape. Everything else
// stays, so a "%" already present is escaped again. Nothing when the text is
// not valid UTF-8, has a character outside Latin-1 or holds a NUL (which
// would end the address wherever it goes).
std::optional<std::string> percentEscapeLatin1(std::string_view utf8, std::string_view alsoEscape = {});

// What a value in a query must not carry as it stands, on top of the above:
// it would end the value or the query, or read as a blank.
inline constexpr std::string_view kQueryValueDelimiters = "&=#?+";

// The longest start of the text within maxBytes that ends on a character
// boundary (UTF-8 sequences are not split).
std::string_view prefixWithin(std::string_view utf8, std::size_t maxBytes);

// Text for the inside of an XML element: & < > and " as entities, and a
// carriage return as a reference (a raw one reads back as a line feed).
void appendXmlEscaped(std::string& out, std::string_view text);

// Bytes as a query value: letters, digits and "-._~" as they are, every other
// byte as "%XX". Any bytes can be written so.
std::string percentEscapeQueryValue(std::string_view bytes);

} // namespace vq
