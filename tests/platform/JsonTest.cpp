#include "platform/Json.h"

#include <gtest/gtest.h>

using namespace vq;

TEST(Json, NestedContainersAndEscaping)
{
    JsonWriter w;
    w.beginObject()
        .key("text").value("say \"hi\"\\\n\t\x01 \xF0\x9F\x98\x80")
        .key("n").value(3).key("x").value(0.5).key("whole").value(2.0)
        .key("list").beginArray().value(true).null().beginObject().endObject().beginArray().endArray().endArray()
        .key("last").value(false)
        .endObject();
    EXPECT_EQ(w.str(), "{\"text\":\"say \\\"hi\\\"\\\\\\n\\t\\u0001 \xF0\x9F\x98\x80\",\"n\":3,\"x\":0.5,\"whole\":2,"
                       "\"list\":[true,null,{},[]],\"last\":false}");
}

TEST(Json, MalformedUtf8BecomesReplacementCharacters)
{
    std::string out;
    // A stray continuation byte, an overlong "/", a surrogate, a cut-off sequence.
    appendJsonString(out, "a\x80" "b\xC0\xAF" "c\xED\xA0\x80" "d\xE2\x82");
    EXPECT_EQ(out, "\"a\\ufffdb\\ufffd\\ufffdc\\ufffd\\ufffd\\ufffdd\\ufffd\\ufffd\"");
}
