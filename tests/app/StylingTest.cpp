#include "EditorFixture.h"
#include "support/LoopbackServer.h"

#include "app/MessageFit.h"
#include "core/Log.h"
#include "core/PropertyList.h"
#include "graphics/Graphemes.h"
#include "graphics/Image.h"
#include "graphics/TextLayout.h"
#include "options/OptionsView.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Responder.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace vq;
using vq::test::Editor;

namespace {

constexpr double kLimit = 125;
constexpr double kWidth = 140;

// Removes the last character and measures again, one at a time.
std::string naiveTrim(std::string text, const Font& font)
{
    double h = 0;
    do {
        auto bounds = graphemeBoundaries(text);
        text.resize(bounds[bounds.size() - 2]);
        h = measureText(text, font, kWidth).height;
    } while (h >= kLimit && !text.empty());
    return text;
}

std::string repeat(const std::string& s, std::size_t times)
{
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += s;
    return out;
}

Font serifFont(double size)
{
    auto faces = Font::fontNamesForFamilyName("DejaVu Serif");
    auto font = faces.empty() ? std::nullopt : Font::fontWithName(faces.front(), size);
    EXPECT_TRUE(font) << "DejaVu Serif is part of the test font set";
    return font ? *font : Font::systemFont(size);
}

class Styling : public testing::Test {
protected:
    Editor e;
    app::ViewController& vc = e.vc();

    // Makes text the last accepted text by pasting it in a tiny font.
    void accept(const std::string& text)
    {
        vc.clearSetting();
        vc.changeFont(Font::systemFont(4));
        e.focus();
        e.harness.paste(text);
        ASSERT_EQ(vc.previousText(), std::optional<std::string>(text));
        vc.resign();
    }
};

} // namespace

TEST_F(Styling, ColourAndTextureExcludeEachOther)
{
    vq::Color red = Color::rgb255(227, 0, 0);
    vc.changeTextureView("12");
    EXPECT_EQ(e.text().backgroundColor(), Color::clearColor());
    ASSERT_TRUE(vc.textBgView()->image());
    EXPECT_EQ(vc.textBgView()->image()->name(), "12");

    vc.changeBgColor(red);
    EXPECT_EQ(e.text().backgroundColor(), red);
    EXPECT_EQ(vc.textBgView()->image(), nullptr);

    vc.changeTextureView("3");
    EXPECT_EQ(e.text().backgroundColor(), Color::clearColor());
    EXPECT_EQ(vc.textBgView()->image()->name(), "3");

    vc.changeTextColor(red);
    EXPECT_EQ(e.text().textColor(), red);
    EXPECT_EQ(vc.textBgView()->image()->name(), "3");
}

TEST_F(Styling, TheTextIsDrawnOverTheTexture)
{
    Color ink = Color::rgb255(0, 0, 255);
    vc.changeTextColor(ink);
    vc.changeTextureView("5");
    vc.changeFont(Font::boldSystemFont(17));
    Rect box = e.text().convertRectTo(e.text().bounds(), nullptr);
    auto inkPixels = [&] {
        auto image = e.harness.render();
        int n = 0;
        for (double y = box.minY() + 1; y < box.maxY() - 1; y += 0.5)
            for (double x = box.minX() + 1; x < box.maxX() - 1; x += 0.5)
                n += vq::test::nearColor(vq::test::Harness::pixel(*image, x, y), ink, 0.1f) ? 1 : 0;
        return n;
    };
    int without = inkPixels();
    e.text().setText("MMMM");
    EXPECT_GT(inkPixels(), without + 20);
}

TEST_F(Styling, ATextureThatFailsToLoadDrawsNothingAndLogsOneLine)
{
    LogCapture log;
    vc.changeTextureView("no-such-texture-77");
    EXPECT_EQ(vc.textBgView()->image(), nullptr);
    EXPECT_EQ(e.text().backgroundColor(), Color::clearColor());
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines().at(0).find("no-such-texture-77"), std::string::npos);
}

TEST_F(Styling, FontChangeTrimsExactlyAsOneAtATimeTrimmingDoes)
{
    const std::vector<std::string> texts = {
        repeat("The quick brown fox jumps over the lazy dog. ", 9),
        repeat("x", 400),
        repeat("word-break hyphen/slash ", 17),
        repeat("a  b   c    ", 35),
        repeat("\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD ok ", 40),
        repeat("e\xCC\x81t\xC3\xA9 ", 80),
    };
    const std::vector<Font> fonts = {Font::systemFont(17), Font::boldSystemFont(24),
                                     serifFont(31)};
    for (const auto& text : texts)
        for (const auto& font : fonts) {
            SCOPED_TRACE(text.substr(0, 24) + " / " + font.fontName());
            accept(text);
            vc.changeFont(font);
            std::string expected = naiveTrim(text, font);
            EXPECT_EQ(e.text().text(), expected);
            double h = measureText(expected, font, kWidth).height;
            EXPECT_LT(h, kLimit);
            EXPECT_DOUBLE_EQ(e.text().frame().height(), std::max(40.0, h + 20));
            EXPECT_EQ(e.text().center(), (Point{160, vc.randomButton()->center().y}));
            EXPECT_EQ(vc.previousText(), std::optional<std::string>(text));
        }
}

TEST_F(Styling, TrimmingNeverSplitsAnEmojiOrALetterFromItsMark)
{
    const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD";      // with a skin-tone modifier
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const std::string accented = "e\xCC\x81\xCC\xA3";                   // e with two combining marks
    for (const std::string& unit : {thumb, family, accented}) {
        accept(repeat(unit, 60));
        for (double size : {17.0, 23.0, 40.0}) {
            vc.changeFont(Font::systemFont(size));
            const std::string& trimmed = e.text().text();
            EXPECT_FALSE(trimmed.empty());
            EXPECT_EQ(trimmed.size() % unit.size(), 0u) << size;
            EXPECT_EQ(trimmed, repeat(unit, trimmed.size() / unit.size()));
        }
    }
    EXPECT_EQ(graphemeBoundaries("a" + thumb + accented + family + "b"),
              (std::vector<std::size_t>{0, 1, 9, 14, 32, 33}));
}

TEST_F(Styling, AnExactlyAtLimitTextIsLeftWhole)
{
    const std::string text = "a\nb\nc\nd\ne";
    std::optional<Font> exact;
    for (int units = 20 * 1024; units < 22 * 1024 && !exact; ++units) {
        Font f = Font::systemFont(units / 1024.0);
        if (measureText(text, f, kWidth).height == kLimit)
            exact = f;
    }
    ASSERT_TRUE(exact) << "no size lays five lines out at exactly the limit";
    accept(text);
    vc.changeFont(*exact);
    EXPECT_EQ(e.text().text(), text);
    EXPECT_EQ(e.text().frame().height(), kLimit + 20);

    // A hair larger and trimming starts.
    vc.changeFont(exact->withSize(exact->pointSize() + 1.0 / 1024));
    EXPECT_EQ(e.text().text(), naiveTrim(text, exact->withSize(exact->pointSize() + 1.0 / 1024)));
    EXPECT_LT(e.text().text().size(), text.size());
}

TEST_F(Styling, FontChangeRestoresTheLastAcceptedTextFirst)
{
    e.focus();
    e.harness.type("keep me");
    // Fits by itself, not after the message: shown, with an undo on its way.
    e.harness.paste(repeat("overflowing ", 6));
    ASSERT_NE(e.text().text(), "keep me");
    vc.changeFont(Font::systemFont(17));
    EXPECT_EQ(e.text().text(), "keep me");
    // The undo the overflow scheduled is cancelled: it must not take back a later edit.
    e.harness.type("!");
    EXPECT_EQ(e.text().text(), "keep me!");
    e.harness.advance(1);
    EXPECT_EQ(e.text().text(), "keep me!");
    EXPECT_EQ(vc.previousText(), std::optional<std::string>("keep me!"));
}

TEST_F(Styling, TrimmingLeavesTheLastAcceptedTextUntilTheNextEdit)
{
    std::string text = repeat("lorem ipsum ", 12);
    accept(text);
    vc.changeFont(Font::boldSystemFont(28));
    std::string trimmed = e.text().text();
    ASSERT_LT(trimmed.size(), text.size());
    EXPECT_EQ(vc.previousText(), std::optional<std::string>(text));

    vc.changeFont(Font::systemFont(4));
    EXPECT_EQ(e.text().text(), text);

    vc.changeFont(Font::boldSystemFont(28));
    e.focus();
    e.text().setSelectedRange({trimmed.size(), 0});
    e.harness.backspace();
    std::string edited = trimmed.substr(0, trimmed.size() - 1);
    EXPECT_EQ(e.text().text(), edited);
    vc.changeFont(Font::systemFont(4));
    EXPECT_EQ(e.text().text(), edited);
}

TEST_F(Styling, ClearResetsTextAndStyle)
{
    accept("some words");
    vc.changeFont(Font::boldSystemFont(30));
    vc.changeTextColor(Color::redColor());
    vc.changeTextureView("40");
    e.focus();

    auto centre = e.vc().clearButton()->center();
    e.harness.tap(centre.x, centre.y);
    EXPECT_EQ(e.text().text(), "");
    EXPECT_EQ(vc.previousText(), std::optional<std::string>(""));
    EXPECT_EQ(e.text().font(), Font::systemFont(17));
    EXPECT_EQ(e.text().textColor(), Color::whiteColor());
    EXPECT_EQ(e.text().backgroundColor(), Color::rgb255(102, 255, 122));
    EXPECT_EQ(vc.textBgView()->image(), nullptr);
    EXPECT_EQ(e.text().frame().height(), 40);
    EXPECT_EQ(e.text().center(), (Point{160, vc.randomButton()->center().y}));
}

TEST(StylingTablet, ClearGivesTheTabletsSystemFontAndMinimumHeight)
{
    Editor e(DeviceProfile::Tablet);
    auto& vc = e.vc();
    vc.changeFont(Font::boldSystemFont(30));
    vc.changeTextureView("8");
    auto centre = Editor::screenCenter(*vc.clearButton());
    e.harness.tap(centre.x, centre.y);
    EXPECT_TRUE(e.text().font().isSystemFont());
    EXPECT_EQ(e.text().font().fontName(), Font::systemFont(1).fontName()) << "the regular face, not the bold one";
    EXPECT_DOUBLE_EQ(e.text().font().pointSize(), 21);
    EXPECT_EQ(e.text().frame().height(), 90);
    EXPECT_EQ(e.text().frame().width(), 215);
    EXPECT_EQ(vc.textBgView()->image(), nullptr);
}

TEST(StylingPad, AFontChangeAddsThePadBeforeSevenAsFromSeven)
{
    // Three short lines: taller than the minimum height, far below the limit.
    for (const char* version : {"6.1", "7.0"}) {
        SCOPED_TRACE(version);
        Editor e(DeviceProfile::Phone, version);
        auto& vc = e.vc();
        e.focus();
        e.harness.paste("one\ntwo\nthree");
        vc.resign();
        vc.changeFont(Font::systemFont(17));
        double h = vc.getTextHeight(e.text());
        ASSERT_GT(h, 40);
        EXPECT_DOUBLE_EQ(e.text().frame().height(), h + 20);
    }
}

TEST_F(Styling, RandomWithOnlyTheSystemFontEndsEditingAndUsesIt)
{
    vc.optionsView()->setFontArrayForTests({"System Normal"});
    vc.changeFont(Font::boldSystemFont(20));
    e.focus();
    auto centre = vc.randomButton()->center();
    e.harness.tap(centre.x, centre.y);
    EXPECT_FALSE(e.text().isFirstResponder());
    EXPECT_EQ(e.text().font(), Font::systemFont(17));
}

TEST_F(Styling, InfoAsksForTheWall)
{
    test::LoopbackServer server;
    std::atomic<int> infoRequests{0};
    server.http().Get("/index.php", [&](const httplib::Request& req, httplib::Response& res) {
        if (req.get_param_value("action") == "info")
            ++infoRequests;
        res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{})), "application/x-plist");
    });
    setPromotionServerBase(server.url());
    LogCapture log;
    auto c = Editor::screenCenter(*vc.infoButton());
    e.harness.tap(c.x, c.y);
    // Fetched while the tap was handled, then the wall asked of the factory.
    EXPECT_EQ(infoRequests, 1);
    EXPECT_TRUE(log.contains("show wall ad"));
}
