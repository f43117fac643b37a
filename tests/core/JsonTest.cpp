#include "core/Json.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vq;

TEST(Json, KeysKeepTheirOrderAndTextIsEscapedOnlyWhereNeeded)
{
    Json value = {{"text", "say \"hi\"\\\n\t\x01 \xF0\x9F\x98\x80 /"},
                  {"n", 3},
                  {"x", jsonNumber(0.5)},
                  {"whole", jsonNumber(2.0)},
                  {"list", {true, nullptr, Json::object(), Json::array()}},
                  {"last", false}};
    EXPECT_EQ(jsonText(value), "{\"text\":\"say \\\"hi\\\"\\\\\\n\\t\\u0001 \xF0\x9F\x98\x80 /\",\"n\":3,\"x\":0.5,"
                               "\"whole\":2,\"list\":[true,null,{},[]],\"last\":false}");
}

TEST(Json, NumbersAsTheFilesShowThem)
{
    EXPECT_EQ(jsonText(jsonNumber(-3.0)), "-3");
    EXPECT_EQ(jsonText(jsonNumber(0.1 + 0.2)), "0.30000000000000004");
    EXPECT_EQ(jsonText(jsonNumber(1.25)), "1.25");
    EXPECT_EQ(jsonText(jsonNumber(std::numeric_limits<double>::quiet_NaN())), "null");
    EXPECT_EQ(jsonText(jsonNumber(std::numeric_limits<double>::infinity())), "null");
}

TEST(Json, EachMalformedByteBecomesOneReplacementCharacter)
{
    // A stray continuation byte, an overlong "/", a surrogate, a cut-off sequence,
    // in a value, inside an array and in a key.
    const std::string bad = "a\x80" "b\xC0\xAF" "c\xED\xA0\x80" "d\xE2\x82";
    const std::string fixed = "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                              "d\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(jsonText(bad), "\"" + fixed + "\"");
    Json nested = {{"k\xFF", {"ok", bad}}};
    EXPECT_EQ(jsonText(nested), "{\"k\xEF\xBF\xBD\":[\"ok\",\"" + fixed + "\"]}");
}
