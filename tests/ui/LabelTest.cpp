#include "ui/Label.h"

#include "graphics/Image.h"
#include "ui/Renderer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vq;

namespace {

const std::string kText = "Styled words on a card, sent as a picture to a friend far away.";

struct Ink {
    Rect box; // in points
    int pixels = 0;
    bool sawTextColor = false;
};

// Where anything was painted in a render (transparent background).
Ink inkOf(const Image& image, Color textColor)
{
    int x0 = image.pixelWidth(), y0 = image.pixelHeight(), x1 = -1, y1 = -1;
    Ink ink;
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x) {
            Color c = image.pixelAt(x, y);
            if (c.a == 0)
                continue;
            ++ink.pixels;
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
            if (c.a > 0.99f && std::abs(c.r - textColor.r) < 0.02f && std::abs(c.g - textColor.g) < 0.02f &&
                std::abs(c.b - textColor.b) < 0.02f)
                ink.sawTextColor = true;
        }
    double s = image.scale();
    if (ink.pixels)
        ink.box = {x0 / s, y0 / s, (x1 + 1 - x0) / s, (y1 + 1 - y0) / s};
    return ink;
}

bool contains(const Rect& outer, const Rect& inner, double slack)
{
    return inner.minX() >= outer.minX() - slack && inner.minY() >= outer.minY() - slack &&
           inner.maxX() <= outer.maxX() + slack && inner.maxY() <= outer.maxY() + slack;
}

} // namespace

TEST(LabelTest, DefaultsAreThoseOfAPhoneLabel)
{
    auto made = Label::create();
    Label& label = *made;
    EXPECT_STREQ(label.className(), "Label");
    EXPECT_EQ(label.font(), Font::systemFont(17));
    EXPECT_EQ(label.textColor(), Color::blackColor());
    EXPECT_EQ(label.numberOfLines(), 1);
    EXPECT_EQ(label.lineBreakMode(), LineBreakMode::TruncateTail);
    EXPECT_EQ(label.textAlignment(), TextAlignment::Left);
    EXPECT_FALSE(label.backgroundColor().has_value());
    EXPECT_FALSE(label.isUserInteractionEnabled());
    EXPECT_EQ(label.sizeThatFits({100, 100}), (Size{0, 0}));
}

TEST(LabelTest, SizeThatFitsIsTheMeasuredTextRoundedUp)
{
    auto made = Label::create();
    Label& label = *made;
    label.setText(kText);
    Size single = label.sizeThatFits({100, 0});
    Size measured = measureText(kText, label.font(), 0);
    EXPECT_EQ(single.width, std::ceil(measured.width)) << "one line keeps its full width";
    EXPECT_EQ(single.height, std::ceil(measured.height));

    label.setNumberOfLines(0);
    Size wrapped = label.sizeThatFits({140, 0});
    EXPECT_LE(wrapped.width, 140);
    EXPECT_EQ(wrapped.height, std::ceil(measureText(kText, label.font(), 140).height));

    label.setNumberOfLines(2);
    Size two = label.sizeThatFits({140, 0});
    EXPECT_LT(two.height, wrapped.height);
    EXPECT_NEAR(two.height, 2 * label.font().lineHeight(), 1);

    label.setFont(Font::systemFont(34));
    EXPECT_GT(label.sizeThatFits({140, 0}).height, two.height);
}

TEST(LabelTest, WhatIsMeasuredIsWhatIsDrawn)
{
    for (int lines : {1, 0}) {
        auto root = View::create(Rect{0, 0, 600, 300});
        auto label = Label::create(Rect{10, 20, 140, 10});
        label->setText(kText);
        label->setNumberOfLines(lines);
        label->setTextColor(Color::redColor());
        label->setFrame({{10, 20}, label->sizeThatFits({140, 0})});
        root->addSubview(label);

        auto image = renderView(*root, {600, 300}, 2);
        Ink ink = inkOf(*image, Color::redColor());
        ASSERT_GT(ink.pixels, 100) << lines;
        EXPECT_TRUE(ink.sawTextColor);
        EXPECT_TRUE(contains(label->frame(), ink.box, 0.01))
            << "lines " << lines << ": ink " << ink.box.x() << "," << ink.box.y() << " " << ink.box.width() << "x"
            << ink.box.height() << " outside " << label->frame().width() << "x" << label->frame().height();
        // And the box is not loose: the ink reaches close to its ends.
        EXPECT_GT(ink.box.width(), label->frame().width() - 6);
        EXPECT_GT(ink.box.height(), label->frame().height() - 10);
    }
}

TEST(LabelTest, TextIsCentredVerticallyAndLimitedToWhatFits)
{
    auto root = View::create(Rect{0, 0, 200, 100});
    auto label = Label::create(Rect{0, 0, 200, 100});
    label->setText("Middle");
    label->setTextAlignment(TextAlignment::Center);
    root->addSubview(label);
    Ink ink = inkOf(*renderView(*root, {200, 100}, 2), Color::blackColor());
    ASSERT_GT(ink.pixels, 0);
    EXPECT_NEAR(ink.box.midY(), 50, 4);
    EXPECT_NEAR(ink.box.midX(), 100, 2);

    // Many lines in a box with room for two: only two are drawn, and they stay in the box.
    label->setNumberOfLines(0);
    label->setTextAlignment(TextAlignment::Left);
    label->setText(kText + " " + kText);
    label->setFrame({0, 30, 120, 2 * label->font().lineHeight() + 1});
    Ink limited = inkOf(*renderView(*root, {200, 100}, 2), Color::blackColor());
    EXPECT_TRUE(contains(label->frame(), limited.box, 0.01));
}
