#include "core/Url.h"

#include <gtest/gtest.h>

using namespace vq;

TEST(UrlTest, SplitsWebAndCustomSchemesIntoTheirParts)
{
    auto web = Url::parse("HTTP://Store.VelvetQuill.test:8080/app/quill/id123?mt=8&x=%20y#top");
    ASSERT_TRUE(web);
    EXPECT_EQ(web->scheme(), "http");
    EXPECT_EQ(web->host(), "Store.VelvetQuill.test"); // case kept: host tests compare as written
    EXPECT_EQ(web->port(), 8080);
    EXPECT_EQ(web->path(), "/app/quill/id123");
    EXPECT_EQ(web->query(), "mt=8&x=%20y");
    EXPECT_EQ(web->fragment(), "top");
    EXPECT_EQ(web->lastPathComponent(), "id123");
    EXPECT_EQ(web->absoluteString(), "HTTP://Store.VelvetQuill.test:8080/app/quill/id123?mt=8&x=%20y#top");

    auto custom = Url::parse("quillpro://open/card?id=4");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->scheme(), "quillpro");
    EXPECT_EQ(custom->host(), "open");
    EXPECT_EQ(custom->path(), "/card");
    EXPECT_EQ(custom->query(), "id=4");

    auto sms = Url::parse("sms://");
    ASSERT_TRUE(sms);
    EXPECT_EQ(sms->scheme(), "sms");
    EXPECT_EQ(sms->host(), "");
    EXPECT_EQ(sms->path(), "");
    EXPECT_FALSE(sms->query());

    // No authority at all is not an empty one.
    auto mail = Url::parse("mailto:ana@example.com");
    ASSERT_TRUE(mail);
    EXPECT_FALSE(mail->host());
    EXPECT_EQ(mail->path(), "ana@example.com");

    auto v6 = Url::parse("http://user:pw@[::1]:99/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host(), "[::1]");
    EXPECT_EQ(v6->port(), 99);

    auto empty = Url::parse("http://h/p?");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->query(), ""); // a "?" with nothing after it is an empty query, not none
}

TEST(UrlTest, LastPathComponentIgnoresATrailingSlashAndUnescapes)
{
    auto last = [](const char* text) { return Url::parse(text)->lastPathComponent(); };
    EXPECT_EQ(last("http://h/icons/icon.png"), "icon.png");
    EXPECT_EQ(last("http://h/icons/"), "icons");
    EXPECT_EQ(last("http://h/a//"), "a");
    EXPECT_EQ(last("http://h/"), "/");
    EXPECT_EQ(last("http://h"), "");
    EXPECT_EQ(last("http://h/my%20icon.png?size=2"), "my icon.png");
}

TEST(UrlTest, RefusesWhatIsNotAUrl)
{
    for (const char* text : {"", "no scheme at all", "://x", "1http://x", "ht tp://x", "http://x/a b",
                             "http://x/\xc3\xa9", "http://x/%zz", "http://x/%4", "http://x:port/", "http://x:99999/",
                             "http://[::1/", "http://x/{y}", "http://x/\t", "path/only"}) {
        EXPECT_FALSE(Url::parse(text)) << text;
    }
    EXPECT_TRUE(Url::parse("http://x/%41"));
    EXPECT_TRUE(Url::parse("a+b-c.d:rest"));
}
