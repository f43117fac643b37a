#include "core/PropertyListValues.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vq;

namespace {

using Dict = PlistValue::Dictionary;
using Array = PlistValue::Array;

PlistValue promotionList()
{
    Array reward{PlistValue(Dict{{"scheme", PlistValue("alpha")}, {"earn", PlistValue(5)}}),
                 PlistValue(Dict{{"earn", PlistValue("7")}}),
                 PlistValue(Dict{{"scheme", PlistValue("gamma")}, {"earn", PlistValue(2.9)}})};
    return PlistValue(Dict{
        {"status", PlistValue(Dict{{"code", PlistValue(3)}, {"msg", PlistValue("maintenance")}})},
        {"base", PlistValue(Dict{{"ad_type", PlistValue("alert")}, {"launch_type", PlistValue(" -12abc")}})},
        {"reward", PlistValue(reward)},
        {"wall", PlistValue(Array{PlistValue(Dict{{"shot", PlistValue(Dict{{"w", PlistValue(1)}})}}),
                                  PlistValue("not a dictionary"), PlistValue(Array{PlistValue(Dict{{"shot", PlistValue(9)}})})})},
        {"title", PlistValue("x")},
    });
}

} // namespace

TEST(PropertyListValuesTest, KeyPathsWalkDictionariesAndMapOverArrays)
{
    PlistValue list = promotionList();
    EXPECT_EQ(valueForKeyPath(list, "status.msg"), PlistValue("maintenance"));
    EXPECT_EQ(*findKeyPath(list, "base.ad_type"), PlistValue("alert"));

    // Three reward items, the second without "scheme": three elements, the second null.
    PlistValue schemes = valueForKeyPath(list, "reward.scheme");
    ASSERT_TRUE(schemes.isArray());
    ASSERT_EQ(schemes.array()->size(), 3u);
    EXPECT_EQ((*schemes.array())[0], PlistValue("alpha"));
    EXPECT_TRUE((*schemes.array())[1].isNull());
    EXPECT_EQ((*schemes.array())[2], PlistValue("gamma"));

    // Past an array every further component maps too; a string item gives null,
    // a nested array gives a nested array.
    PlistValue widths = valueForKeyPath(list, "wall.shot.w");
    ASSERT_TRUE(widths.isArray());
    ASSERT_EQ(widths.array()->size(), 3u);
    EXPECT_EQ((*widths.array())[0], PlistValue(1));
    EXPECT_TRUE((*widths.array())[1].isNull());
    ASSERT_TRUE((*widths.array())[2].isArray());
    EXPECT_TRUE((*(*widths.array())[2].array())[0].isNull());

    // Missing on the way, or a leaf asked for a key: null, never a crash.
    EXPECT_TRUE(valueForKeyPath(list, "base.missing").isNull());
    EXPECT_TRUE(valueForKeyPath(list, "nothing.at.all").isNull());
    EXPECT_TRUE(valueForKeyPath(list, "title.length").isNull());
    EXPECT_TRUE(valueForKeyPath(list, "").isNull());
    EXPECT_EQ(findKeyPath(list, "reward.scheme"), nullptr);
    EXPECT_EQ(findKeyPath(list, "title.x"), nullptr);
    // A whole array is returned as it stands.
    EXPECT_EQ(valueForKeyPath(list, "reward").array()->size(), 3u);

    // Items laid out unlike the one before: the key is found wherever it sits.
    PlistValue mixed(Dict{{"m", PlistValue(Array{PlistValue(Dict{{"a", PlistValue(1)}, {"k", PlistValue(2)}}),
                                                 PlistValue(Dict{{"k", PlistValue(3)}, {"z", PlistValue(0)}}),
                                                 PlistValue(Dict{{"j", PlistValue(0)}, {"l", PlistValue(0)}}),
                                                 PlistValue(Dict{{"b", PlistValue(0)}, {"c", PlistValue(0)}, {"k", PlistValue(4)}})})}});
    EXPECT_EQ(valueForKeyPath(mixed, "m.k"), PlistValue(Array{PlistValue(2), PlistValue(3), PlistValue(nullptr), PlistValue(4)}));
}

TEST(PropertyListValuesTest, IntegerConversion)
{
    EXPECT_EQ(integerValueOf(PlistValue(42)), 42);
    EXPECT_EQ(integerValueOf(PlistValue(2.9)), 2);
    EXPECT_EQ(integerValueOf(PlistValue(-2.9)), -2);
    EXPECT_EQ(integerValueOf(PlistValue(true)), 1);
    EXPECT_EQ(integerValueOf(PlistValue(" \t-12abc")), -12);
    EXPECT_EQ(integerValueOf(PlistValue("+7")), 7);
    EXPECT_EQ(integerValueOf(PlistValue("0042")), 42);
    EXPECT_EQ(integerValueOf(PlistValue("3.9")), 3);
    EXPECT_EQ(integerValueOf(PlistValue("abc")), 0);
    EXPECT_EQ(integerValueOf(PlistValue("")), 0);
    EXPECT_EQ(integerValueOf(PlistValue("- 5")), 0);
    EXPECT_EQ(integerValueOf(PlistValue("\n5")), 0); // only blanks are skipped
    EXPECT_EQ(integerValueOf(PlistValue("99999999999999999999")), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(integerValueOf(PlistValue("-9223372036854775808")), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(integerValueOf(PlistValue("-99999999999999999999")), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(integerValueOf(PlistValue(std::numeric_limits<double>::quiet_NaN())), 0);
    EXPECT_EQ(integerValueOf(PlistValue(nullptr)), 0);
    EXPECT_EQ(integerValueOf(nullptr), 0);
    EXPECT_EQ(integerValueOf(PlistValue(Dict{{"code", PlistValue(1)}})), 0);
    EXPECT_EQ(integerValueOf(PlistValue(Array{PlistValue(1)})), 0);
}

TEST(PropertyListValuesTest, BooleanConversion)
{
    for (const char* yes : {"YES", "yes", "true", "True", "1", "  +0009", "-1", "t", "Yikes", "\t7"})
        EXPECT_TRUE(boolValueOf(PlistValue(yes))) << yes;
    for (const char* no : {"no", "NO", "0", "false", "", "   ", "+000", "00x1", "-", "on", "\n1"})
        EXPECT_FALSE(boolValueOf(PlistValue(no))) << no;
    EXPECT_TRUE(boolValueOf(PlistValue(2)));
    EXPECT_TRUE(boolValueOf(PlistValue(0.5)));
    EXPECT_FALSE(boolValueOf(PlistValue(0)));
    EXPECT_FALSE(boolValueOf(PlistValue(false)));
    EXPECT_TRUE(boolValueOf(PlistValue(true)));
    EXPECT_FALSE(boolValueOf(PlistValue(nullptr)));
    EXPECT_FALSE(boolValueOf(nullptr));
    EXPECT_FALSE(boolValueOf(PlistValue(Array{PlistValue(true)})));
}

TEST(PropertyListValuesTest, DescriptionIsTheFormatterText)
{
    EXPECT_EQ(describe(PlistValue("iPhone 4S")), "iPhone 4S");
    EXPECT_EQ(describe(PlistValue(42)), "42");
    EXPECT_EQ(describe(PlistValue(std::int64_t{-7})), "-7");
    EXPECT_EQ(describe(PlistValue(6.1)), "6.1");
    EXPECT_EQ(describe(PlistValue(3.0)), "3");
    EXPECT_EQ(describe(PlistValue(true)), "1");
    EXPECT_EQ(describe(PlistValue(nullptr)), "(null)");
    EXPECT_EQ(describe(static_cast<const PlistValue*>(nullptr)), "(null)");
    EXPECT_EQ(describe(PlistValue(PlistValue::Data{0x0a, 0x1b, 0x2c, 0x3d, 0x4e})), "<0a1b2c3d 4e>");
    EXPECT_EQ(describe(PlistValue(PlistValue::Date{0})), "2001-01-01 00:00:00 +0000");

    PlistValue nested(Dict{{"apps", PlistValue(Array{PlistValue("a b"), PlistValue(nullptr), PlistValue(5)})},
                           {"base", PlistValue(Dict{{"ad_type", PlistValue("alert")}, {"two words", PlistValue("")}})}});
    EXPECT_EQ(describe(nested), "{\n"
                                "    apps = (\n"
                                "        \"a b\",\n"
                                "        <null>,\n"
                                "        5\n"
                                "    );\n"
                                "    base = {\n"
                                "        \"ad_type\" = alert;\n"
                                "        \"two words\" = \"\";\n"
                                "    };\n"
                                "}");
    EXPECT_EQ(describe(PlistValue(Array{})), "(\n)");
    EXPECT_EQ(describe(PlistValue(Array{PlistValue("say \"hi\"\n")})), "(\n    \"say \\\"hi\\\"\\n\"\n)");
}

TEST(PropertyListValuesTest, ABodyIsAListOnlyWhenItsRootIsADictionaryWithinTheSizeLimit)
{
    PlistValue list = promotionList();
    for (auto format : {PlistFormat::Xml, PlistFormat::Binary}) {
        std::string body = writePropertyList(list, format);
        auto parsed = parsePropertyListDictionary(body);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(valueForKeyPath(*parsed, "status.msg"), PlistValue("maintenance"));
        // One byte over the limit is refused without parsing.
        EXPECT_FALSE(parsePropertyListDictionary(body, body.size() - 1));
        EXPECT_TRUE(parsePropertyListDictionary(body, body.size()));
        // A truncated binary or XML list is no list.
        EXPECT_FALSE(parsePropertyListDictionary(std::string_view(body).substr(0, body.size() / 2)));
    }
    EXPECT_FALSE(parsePropertyListDictionary(writePropertyList(PlistValue(Array{PlistValue(1)}))));
    EXPECT_FALSE(parsePropertyListDictionary(writePropertyList(PlistValue("just text"), PlistFormat::Binary)));
    EXPECT_FALSE(parsePropertyListDictionary(""));
    EXPECT_FALSE(parsePropertyListDictionary("<html><body>500 Internal Server Error</body></html>"));
}

TEST(PropertyListValuesTest, NullIsLeftOutWhenWritten)
{
    PlistValue withNull(Dict{{"a", PlistValue(nullptr)}, {"b", PlistValue(Array{PlistValue(nullptr), PlistValue(1)})}});
    auto back = parsePropertyList(writePropertyList(withNull, PlistFormat::Binary));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, PlistValue(Dict{{"b", PlistValue(Array{PlistValue(1)})}}));
    EXPECT_EQ(writePropertyList(PlistValue(nullptr)), "");
}
