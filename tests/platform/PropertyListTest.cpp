#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <limits>

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

    // A raw NUL inside a string once tripped the parser library's own assertion.
    using namespace std::string_literals;
    auto withNul = parsePropertyList("<plist version=\"1.0\"><dict><key>k</key><string>a\0b</string></dict></plist>"s);
    ASSERT_TRUE(withNul);
    ASSERT_TRUE(withNul->find("k") && withNul->find("k")->string());
    EXPECT_EQ(withNul->find("k")->string()->substr(0, 1), "a");
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
