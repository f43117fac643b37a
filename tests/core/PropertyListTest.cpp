#include "core/Log.h"
#include "core/PropertyList.h"
#include "support/HostileLists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

using namespace vq;

namespace {

PlistValue sampleTree()
{
    PlistValue::Dictionary base{{"ad_type", PlistValue(3)}, {"apns", PlistValue(true)}, {"ratio", PlistValue(0.25)}};
    PlistValue::Array apps{PlistValue(PlistValue::Dictionary{{"app_id", PlistValue("123")}}),
                           PlistValue(PlistValue::Dictionary{{"app_id", PlistValue("456")}, {"name", PlistValue("Ünïcode ✓")}})};
    return PlistValue(PlistValue::Dictionary{
        {"base", PlistValue(base)},
        {"apps", PlistValue(apps)},
        {"negative", PlistValue(std::int64_t{-42})},
        {"big", PlistValue(std::numeric_limits<std::int64_t>::max())},
        {"blob", PlistValue(PlistValue::Data{0, 1, 2, 255})},
        {"when", PlistValue(PlistValue::Date{86400})},
        {"empty", PlistValue(std::string())},
        {"markup", PlistValue("<a & b>")},
    });
}

TEST(PropertyListTest, RoundTripsEveryTypeThroughXmlAndBinary)
{
    PlistValue tree = sampleTree();
    for (auto format : {PlistFormat::Xml, PlistFormat::Binary}) {
        std::string bytes = writePropertyList(tree, format);
        auto back = parsePropertyList(bytes);
        ASSERT_TRUE(back) << static_cast<int>(format);
        EXPECT_EQ(*back, tree) << static_cast<int>(format);
    }
    EXPECT_EQ(writePropertyList(tree, PlistFormat::Binary).substr(0, 8), "bplist00");
}

TEST(PropertyListTest, ParsesHandWrittenXmlLikeAServerReply)
{
    const char* xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>status</key><dict><key>code</key><string>200</string></dict>
  <key>list</key><array><integer>7</integer><real>1.5</real><false/></array>
</dict>
</plist>)";
    auto v = parsePropertyList(xml);
    ASSERT_TRUE(v);
    ASSERT_TRUE(v->find("status"));
    EXPECT_EQ(*v->find("status")->find("code")->string(), "200");
    const auto* list = v->find("list")->array();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[0].integerValue(), 7);
    EXPECT_EQ((*list)[1].doubleValue(), 1.5);
    EXPECT_EQ((*list)[2].boolValue(), false);
    EXPECT_EQ(v->find("missing"), nullptr);
    EXPECT_EQ((*list)[0].find("x"), nullptr); // not a dictionary
}

TEST(PropertyListTest, RejectsWhatIsNotAPropertyList)
{
    EXPECT_FALSE(parsePropertyList(""));
    EXPECT_FALSE(parsePropertyList("hello world"));
    EXPECT_FALSE(parsePropertyList("<html><body>502 Bad Gateway</body></html>"));
    EXPECT_FALSE(parsePropertyList("bplist00\x01\x02garbage"));
    std::string truncated = writePropertyList(sampleTree(), PlistFormat::Binary);
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(parsePropertyList(truncated));

    // A raw NUL is not XML, nor are entities a list has no use for (they can
    // multiply a small document into a huge one).
    using namespace std::string_literals;
    EXPECT_FALSE(parsePropertyList("<plist version=\"1.0\"><dict><key>k</key><string>a\0b</string></dict></plist>"s));
    EXPECT_FALSE(parsePropertyList("<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaa\">]>"
                                   "<plist><dict><key>k</key><string>&a;&a;</string></dict></plist>"));
    // Elements out of place: a value without its key, a second root, an unknown element.
    EXPECT_FALSE(parsePropertyList("<plist><dict><string>v</string></dict></plist>"));
    EXPECT_FALSE(parsePropertyList("<plist><dict/><dict/></plist>"));
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>k</key><blink/></dict></plist>"));
}

// A binary list of one dictionary whose key is the given string object
// (marker and bytes) and whose value is the string "v".
std::string binaryWithKey(const std::string& keyObject, const std::string& valueObject = "\x51v")
{
    std::string out = "bplist00";
    std::vector<std::uint8_t> offsets;
    offsets.push_back(static_cast<std::uint8_t>(out.size()));
    out += "\xD1\x01\x02";
    offsets.push_back(static_cast<std::uint8_t>(out.size()));
    out += keyObject;
    offsets.push_back(static_cast<std::uint8_t>(out.size()));
    out += valueObject;
    auto table = static_cast<char>(out.size());
    for (auto offset : offsets)
        out += static_cast<char>(offset);
    out += std::string(6, '\0');
    out += '\x01'; // offset size
    out += '\x01'; // reference size
    out += std::string(7, '\0') + '\x03' + std::string(8, '\0') + std::string(7, '\0') + table;
    return out;
}

TEST(PropertyListTest, AKeyHoldingANulIsRefusedNotACrash)
{
    using namespace std::string_literals;
    // The same shape with a plain key parses, so the refusals below are the NUL's doing.
    auto plain = parsePropertyList(binaryWithKey("\x53"s + "a-b"));
    ASSERT_TRUE(plain);
    ASSERT_TRUE(plain->find("a-b") && plain->find("a-b")->string());
    EXPECT_EQ(*plain->find("a-b")->string(), "v");

    // Each of these once stopped the process inside the parser library.
    EXPECT_FALSE(parsePropertyList(binaryWithKey("\x53"s + "a\0b"s))); // ASCII
    EXPECT_FALSE(parsePropertyList(binaryWithKey("\x62\0a\0\0"s))); // UTF-16
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>a\0b</key><string>v</string></dict></plist>"s));
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>a&#0;b</key><string>v</string></dict></plist>"s));
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>a&#x00;b</key><string>v</string></dict></plist>"s));
    // A key may still name a character reference.
    auto named = parsePropertyList("<plist><dict><key>a&#65;</key><string>v</string></dict></plist>"s);
    ASSERT_TRUE(named);
    EXPECT_TRUE(named->find("aA"));
}

TEST(PropertyListTest, TextThatIsNotUtf8IsRefusedRatherThanCutShort)
{
    using namespace std::string_literals;
    // Once read, such a string was written out as it came and read back cut at the first bad byte.
    EXPECT_FALSE(parsePropertyList(binaryWithKey("\x51k"s, "\x54"s + "a\xFF\xFFz"))); // value
    EXPECT_FALSE(parsePropertyList(binaryWithKey("\x53"s + "a\xC3" + "b"))); // key
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>k</key><string>to \xFF\xFF all</string></dict></plist>"s));
    EXPECT_FALSE(parsePropertyList("<plist><dict><key>k\xE9</key><string>v</string></dict></plist>"s));

    // UTF-8 in either form is text as before.
    auto binary = parsePropertyList(binaryWithKey("\x51k"s, "\x55"s + "caf\xC3\xA9"));
    ASSERT_TRUE(binary && binary->find("k") && binary->find("k")->string());
    EXPECT_EQ(*binary->find("k")->string(), "caf\xC3\xA9");
    auto xml = parsePropertyList("<plist><dict><key>k\xC3\xA9</key><string>\xE2\x82\xAC</string></dict></plist>"s);
    ASSERT_TRUE(xml && xml->find("k\xC3\xA9") && xml->find("k\xC3\xA9")->string());
    EXPECT_EQ(*xml->find("k\xC3\xA9")->string(), "\xE2\x82\xAC");
}

TEST(PropertyListTest, StringsHoldingNulRoundTripWholeInBinaryAndAreRefusedAsXml)
{
    using namespace std::string_literals;
    // Plain ASCII, UTF-16 on the wire, a NUL at either end, and long enough for a counted length.
    const std::string texts[] = {"a\0b"s, "\0"s, "x\0"s, "\0\0y"s, "caf\xC3\xA9\0\xE2\x82\xAC"s,
                                 std::string(40, 'n') + "\0"s + std::string(300, 'm')};
    for (const auto& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        PlistValue list(PlistValue::Dictionary{{"k", PlistValue(text)},
                                               {"in", PlistValue(PlistValue::Array{PlistValue(text), PlistValue(1)})}});
        EXPECT_EQ(propertyListWriteError(list, PlistFormat::Binary), std::nullopt);
        auto back = parsePropertyList(writePropertyList(list, PlistFormat::Binary));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, list);

        // XML has no NUL character: nothing is written rather than a cut or malformed text.
        LogCapture log;
        EXPECT_TRUE(propertyListWriteError(list, PlistFormat::Xml));
        EXPECT_EQ(writePropertyList(list, PlistFormat::Xml), "");
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_NE(log.lines()[0].find("NUL"), std::string::npos) << log.lines()[0];
    }

    // What no form reads back whole is refused in both.
    for (const auto& bad : {PlistValue(PlistValue::Dictionary{{"a\0b"s, PlistValue(1)}}),
                            PlistValue(PlistValue::Dictionary{{"k", PlistValue("\xFF\xFE")}}),
                            PlistValue(PlistValue::Dictionary{{"\xC3", PlistValue(1)}})})
        for (auto format : {PlistFormat::Xml, PlistFormat::Binary}) {
            EXPECT_TRUE(propertyListWriteError(bad, format));
            EXPECT_EQ(writePropertyList(bad, format), "");
        }
}

TEST(PropertyListTest, TheBinaryFormCountsAndReferencesPastOneByte)
{
    // More than 255 objects, and more than 65535, take wider references; long
    // strings, data and arrays take counted lengths.
    for (int n : {300, 70000}) {
        SCOPED_TRACE(n);
        PlistValue::Array items;
        for (int i = 0; i < n; ++i)
            items.emplace_back(i % 3 == 0 ? PlistValue(std::int64_t{i} * -1000003) : PlistValue(std::to_string(i)));
        PlistValue list(PlistValue::Dictionary{
            {"items", PlistValue(std::move(items))},
            {"blob", PlistValue(PlistValue::Data(70000, 0xab))},
            {"big", PlistValue(std::int64_t{1} << 40)},
            {"max", PlistValue(std::numeric_limits<std::int64_t>::max())},
            {"min", PlistValue(std::numeric_limits<std::int64_t>::min())},
        });
        auto back = parsePropertyList(writePropertyList(list, PlistFormat::Binary));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, list);
    }
}

// A server may send keys in any order and a key twice: the later value
// wins, and many keys out of order parse in n log n, not one shift per key.
TEST(PropertyListTest, KeysInAnyOrderAreSortedAndARepeatedKeyKeepsItsLastValue)
{
    std::string xml = "<plist><dict>";
    constexpr int kKeys = 60000;
    for (int i = kKeys; i > 0; --i)
        xml += "<key>k" + std::to_string(i) + "</key><integer>" + std::to_string(i) + "</integer>";
    xml += "<key>k7</key><string>again</string></dict></plist>";
    auto parsed = parsePropertyList(xml);
    ASSERT_TRUE(parsed);
    const auto& dict = *parsed->dictionary();
    EXPECT_EQ(dict.size(), static_cast<std::size_t>(kKeys));
    EXPECT_TRUE(std::is_sorted(dict.begin(), dict.end(), [](const auto& a, const auto& b) { return a.first < b.first; }));
    EXPECT_EQ(*dict.at("k7").string(), "again");
    EXPECT_EQ(dict.at("k60000").integerValue(), 60000);

    // The binary form: {"b": 1, "a": 2, "b": 3}, objects 0-5, one-byte offsets and references.
    std::string binary = "bplist00";
    std::vector<char> offsets;
    auto object = [&](std::string bytes) {
        offsets.push_back(static_cast<char>(binary.size()));
        binary += bytes;
    };
    object(std::string("\xD3\x01\x02\x01\x03\x04\x05", 7));
    object("\x51" "b");
    object("\x51" "a");
    object(std::string("\x10\x01", 2));
    object(std::string("\x10\x02", 2));
    object(std::string("\x10\x03", 2));
    char table = static_cast<char>(binary.size());
    binary.append(offsets.begin(), offsets.end());
    binary += std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x06" + std::string(8, '\0') +
              std::string(7, '\0') + table;
    auto fromBinary = parsePropertyList(binary);
    ASSERT_TRUE(fromBinary);
    EXPECT_EQ(*fromBinary, PlistValue(PlistValue::Dictionary{{"a", PlistValue(2)}, {"b", PlistValue(3)}}));
}

TEST(PropertyListTest, DatesBeyondWhatTheFileCanHoldAreWrittenAsTheNearestOne)
{
    constexpr double lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    // Once an undefined conversion: a parsed date a fraction below the range, or one made far out.
    const std::pair<double, double> cases[] = {{lo - 0.5, lo},
                                               {-3e9, lo},
                                               {1e12, hi},
                                               {std::numeric_limits<double>::infinity(), hi},
                                               {std::numeric_limits<double>::quiet_NaN(), 0},
                                               {hi - 0.0000001, hi},
                                               {12.5, 12.5}};
    for (auto [given, expected] : cases) {
        SCOPED_TRACE(given);
        PlistValue list(PlistValue::Dictionary{{"when", PlistValue(PlistValue::Date{given})}});
        auto back = parsePropertyList(writePropertyList(list, PlistFormat::Binary));
        ASSERT_TRUE(back && back->find("when") && back->find("when")->date());
        EXPECT_NEAR(back->find("when")->date()->seconds, expected, 1e-6);
    }
}

std::string nestedXml(int depth)
{
    std::string xml = "<?xml version=\"1.0\"?>\n<!-- <array> in a comment is not nesting -->\n<plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i)
        xml += i % 2 ? "<dict><key>k</key>" : "<array>";
    xml += "<integer>7</integer>";
    for (int i = depth - 1; i >= 0; --i)
        xml += i % 2 ? "</dict>" : "</array>";
    return xml + "</plist>";
}

// depth arrays, each holding the next, the innermost an integer: object i
// refers to object i + 1.
std::string nestedBinary(std::uint32_t depth)
{
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    auto bigEndian = [&](std::uint64_t v, int n) {
        for (int k = n - 1; k >= 0; --k)
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
    };
    for (std::uint32_t i = 0; i < depth; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out += '\xA1';
        bigEndian(i + 1, 4);
    }
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    out += '\x10';
    out += '\x07';
    std::uint64_t table = out.size();
    for (auto offset : offsets)
        bigEndian(offset, 4);
    out += std::string(6, '\0');
    out += '\x04'; // offset size
    out += '\x04'; // reference size
    bigEndian(offsets.size(), 8);
    bigEndian(0, 8);
    bigEndian(table, 8);
    return out;
}

int depthOf(const PlistValue& value)
{
    if (auto* array = value.array())
        return array->empty() ? 1 : 1 + depthOf(array->front());
    if (auto* dict = value.dictionary())
        return dict->empty() ? 1 : 1 + depthOf(dict->begin()->second);
    return 0;
}

TEST(PropertyListTest, DeepNestingIsRefusedBeforeTheLibraryBuildsTheTree)
{
    // Hundreds of levels are fine, in both formats.
    auto xml = parsePropertyList(nestedXml(kMaxPropertyListDepth));
    ASSERT_TRUE(xml);
    EXPECT_EQ(depthOf(*xml), kMaxPropertyListDepth);
    auto binary = parsePropertyList(nestedBinary(kMaxPropertyListDepth));
    ASSERT_TRUE(binary);
    EXPECT_EQ(depthOf(*binary), kMaxPropertyListDepth);
    EXPECT_TRUE(parsePropertyList(writePropertyList(*binary, PlistFormat::Binary)));

    // Deeper is refused; far deeper once overflowed the stack while the
    // library freed its tree.
    EXPECT_FALSE(parsePropertyList(nestedXml(kMaxPropertyListDepth + 1)));
    EXPECT_FALSE(parsePropertyList(nestedBinary(kMaxPropertyListDepth + 1)));
    EXPECT_FALSE(parsePropertyList(nestedXml(200000)));
    EXPECT_FALSE(parsePropertyList(nestedBinary(200000)));

    // A binary list whose object refers back to itself is no tree at all.
    std::string loop = nestedBinary(1);
    loop[8 + 4] = 0; // object 0 refers to object 0
    EXPECT_FALSE(parsePropertyList(loop));
}

TEST(PropertyListTest, SharedObjectsCountForEveryReferenceAgainstTheBudget)
{
    using namespace std::string_literals;
    // Ten levels (1,024 copies of a small leaf) are a list like any other.
    auto small = parsePropertyList(test::sharedObjectBomb(10, "\x10\x07"));
    ASSERT_TRUE(small);
    EXPECT_EQ(depthOf(*small), 10);

    // Twenty-two levels of 400 bytes once asked for gigabytes; one 64 KB string
    // referred to from every level asks for the same in fewer.
    LogCapture log;
    EXPECT_FALSE(parsePropertyList(test::sharedObjectBomb(22, "\x10\x07")));
    std::string big = "\x5F\x12\x00\x01\x00\x00"s + std::string(65536, 's');
    EXPECT_FALSE(parsePropertyList(test::sharedObjectBomb(8, big)));
    EXPECT_EQ(log.count("property list refused: its shared objects expand past 8388608 bytes"), 2u)
        << testing::PrintToString(log.lines());
    // A budget of its own for the caller who asks.
    EXPECT_TRUE(parsePropertyList(test::sharedObjectBomb(8, big), std::size_t{64} << 20));
}

TEST(PropertyListTest, TextAndNumbersReadTheSameInEitherForm)
{
    using namespace std::string_literals;
    // An ASCII string holding a NUL is read whole, not cut at it.
    auto binary = parsePropertyList(binaryWithKey("\x51k"s, "\x57"s + "a\0b.png"s));
    ASSERT_TRUE(binary && binary->find("k") && binary->find("k")->string());
    EXPECT_EQ(*binary->find("k")->string(), "a\0b.png"s);

    // A carriage return survives XML; a character XML cannot write goes only into the binary form.
    PlistValue returns(PlistValue::Dictionary{{"k\r", PlistValue("a\r\nb\rc")}});
    EXPECT_EQ(parsePropertyList(writePropertyList(returns, PlistFormat::Xml)), returns);
    for (const char* text : {"bell\x07", "\xEF\xBF\xBF"}) {
        PlistValue odd(PlistValue::Dictionary{{"k", PlistValue(text)}});
        EXPECT_TRUE(propertyListWriteError(odd, PlistFormat::Xml)) << text;
        EXPECT_EQ(parsePropertyList(writePropertyList(odd, PlistFormat::Binary)), odd) << text;
    }

    // Integers beyond 64 bits are the nearest value 64 bits hold, in XML as in text.
    auto xml = parsePropertyList("<plist><array><integer>99999999999999999999999</integer>"
                                 "<integer>-99999999999999999999999</integer><integer> 42 </integer>"
                                 "<real>+infinity</real><real>-inf</real><real>1e400</real></array></plist>");
    ASSERT_TRUE(xml && xml->array() && xml->array()->size() == 6u);
    const auto& items = *xml->array();
    EXPECT_EQ(items[0].integerValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(items[1].integerValue(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(items[2].integerValue(), 42);
    EXPECT_EQ(items[3].doubleValue(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(items[4].doubleValue(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(items[5].doubleValue(), std::numeric_limits<double>::infinity());
    // The binary form's 16-byte integers likewise.
    auto wide = parsePropertyList(binaryWithKey("\x51k"s, "\x14"s + std::string(7, '\0') + "\x01" + std::string(8, '\0')));
    ASSERT_TRUE(wide && wide->find("k"));
    EXPECT_EQ(wide->find("k")->integerValue(), std::numeric_limits<std::int64_t>::max());
    auto negative = parsePropertyList(binaryWithKey("\x51k"s, "\x14"s + std::string(16, '\xFF')));
    ASSERT_TRUE(negative && negative->find("k"));
    EXPECT_EQ(negative->find("k")->integerValue(), -1);
}

TEST(PropertyListTest, NumericConversionsAcrossTypes)
{
    EXPECT_EQ(PlistValue(true).integerValue(), 1);
    EXPECT_EQ(PlistValue(2.9).integerValue(), 2);
    EXPECT_EQ(PlistValue(-2.9).integerValue(), -2);
    EXPECT_EQ(PlistValue(1e300).integerValue(), std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(PlistValue(std::numeric_limits<double>::quiet_NaN()).integerValue());
    EXPECT_EQ(PlistValue(0.0).boolValue(), false);
    EXPECT_EQ(PlistValue(5).boolValue(), true);
    EXPECT_FALSE(PlistValue("3").integerValue());
    EXPECT_FALSE(PlistValue(PlistValue::Array{}).doubleValue());
}

} // namespace
