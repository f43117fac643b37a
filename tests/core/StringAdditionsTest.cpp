#include "core/StringAdditions.h"

#include <gtest/gtest.h>

using namespace vq;

TEST(StringAdditionsTest, Md5Text)
{
    EXPECT_EQ(stringFromMD5("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(stringFromMD5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    // UTF-8 bytes, not code points.
    EXPECT_EQ(stringFromMD5("\xc3\xa9"), "66ddcd97cfdeabb2f6fb8a999b4bc76f");
    // Only the bytes before a NUL count; an empty text has no digest.
    EXPECT_EQ(stringFromMD5(std::string("abc\0def", 7)), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(stringFromMD5(""), std::nullopt);
    EXPECT_EQ(stringFromMD5(std::string("\0abc", 4)), std::nullopt);
}

TEST(StringAdditionsTest, EscapesWhatMayNotAppearInAUrl)
{
    EXPECT_EQ(percentEscapeLatin1("http://h/index.php?action=info&dv=iPhone 4S&dtype=ad id"),
              "http://h/index.php?action=info&dv=iPhone%204S&dtype=ad%20id");
    // URL punctuation and the remaining printable characters stay.
    const std::string kept = "azAZ09:/?&=,#-._~!$'()*+;@";
    EXPECT_EQ(percentEscapeLatin1(kept), kept);
    EXPECT_EQ(percentEscapeLatin1("\"%<>[\\]^`{|}"), "%22%25%3C%3E%5B%5C%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(percentEscapeLatin1(std::string("\x01\t\n\x1f\x7f", 5)), "%01%09%0A%1F%7F");
    // A percent sign already there is escaped again.
    EXPECT_EQ(percentEscapeLatin1("dv=iPhone%204S"), "dv=iPhone%25204S");
    // Latin-1 characters become their single byte.
    EXPECT_EQ(percentEscapeLatin1("caf\xc3\xa9 \xc2\xa0\xc3\xbf"), "caf%E9%20%A0%FF");
    EXPECT_EQ(percentEscapeLatin1(""), "");
    // A query value's delimiters, when asked.
    EXPECT_EQ(percentEscapeLatin1("x&action=apns&token=EVIL b1#frag ?+", kQueryValueDelimiters),
              "x%26action%3Dapns%26token%3DEVIL%20b1%23frag%20%3F%2B");
    // Any bytes as a query value.
    EXPECT_EQ(percentEscapeQueryValue(std::string("77&x=\0\xff-._~", 11)), "77%26x%3D%00%FF-._~");
}

TEST(StringAdditionsTest, RefusesTextOutsideLatin1OrNotUtf8)
{
    EXPECT_EQ(percentEscapeLatin1("price \xe2\x82\xac"), std::nullopt);   // the euro sign
    EXPECT_EQ(percentEscapeLatin1("\xf0\x9f\x98\x80"), std::nullopt);     // an emoji
    EXPECT_EQ(percentEscapeLatin1("\xc4\x80"), std::nullopt);             // U+0100, just past Latin-1
    EXPECT_EQ(percentEscapeLatin1("raw \xe9 byte"), std::nullopt);        // not UTF-8
    EXPECT_EQ(percentEscapeLatin1("\xc3"), std::nullopt);                 // cut short
    EXPECT_EQ(percentEscapeLatin1("\xc1\xa9"), std::nullopt);             // overlong
    EXPECT_EQ(percentEscapeLatin1("\xe0\x81\xa9"), std::nullopt);         // overlong
    EXPECT_EQ(percentEscapeLatin1(std::string("a\0b", 3)), std::nullopt);  // a NUL would end the address
}
