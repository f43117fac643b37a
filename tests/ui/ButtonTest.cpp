#include "graphics/Image.h"
#include "graphics/TextLayout.h"
#include "ui/Button.h"
#include "ui/Renderer.h"

#include "TouchDriver.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace vq;

namespace {

class ButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = View::create(Rect{0, 0, 320, 480});
        button = Button::create({20, 20, 100, 44});
        root->addSubview(button);
    }

    std::shared_ptr<View> root;
    std::shared_ptr<Button> button;
};

TEST_F(ButtonTest, StatesWithoutTheirOwnValuesFallBackToNormal)
{
    button->setTitle("Send", ControlState::Normal);
    button->setTitle("Sending", ControlState::Highlighted);
    button->setTitleColor(Color::redColor(), ControlState::Selected);

    EXPECT_EQ(button->currentTitle(), "Send");
    EXPECT_EQ(button->titleForState(ControlState::Disabled), "Send");
    EXPECT_EQ(button->currentTitleColor(), Color::whiteColor()); // custom buttons title in white

    vq::test::Finger f(root, {50, 40});
    EXPECT_EQ(button->currentTitle(), "Sending");
    f.lift();
    EXPECT_EQ(button->currentTitle(), "Send");

    button->setSelected(true);
    EXPECT_EQ(button->currentTitleColor(), Color::redColor());
    // Pressed while selected: the highlighted title, and the selected colour
    // since there is no highlighted one.
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "Sending");
    EXPECT_EQ(button->currentTitleColor(), Color::redColor());

    button->setEnabled(false);
    EXPECT_EQ(button->currentTitle(), "Send");
    EXPECT_EQ(button->currentTitleColor(), Color::whiteColor());

    // Clearing a state's value brings the fallback back.
    button->setEnabled(true);
    button->setTitle(std::nullopt, ControlState::Highlighted);
    EXPECT_EQ(button->currentTitle(), "Send");
    button->setTitle(std::nullopt, ControlState::Normal);
    EXPECT_FALSE(button->currentTitle());
}

TEST_F(ButtonTest, SizeToFitMeasuresTitleAndImage)
{
    button->setTitle("Random", ControlState::Normal);
    button->sizeToFit();
    Size text = TextLayout("Random", Font::systemFont(15)).size();
    EXPECT_EQ(button->frame().size, text);
    EXPECT_EQ(button->frame().origin, (Point{20, 20}));

    button->setTitleFont(Font::systemFont(30));
    button->sizeToFit();
    EXPECT_GT(button->frame().height(), text.height);

    auto image = Image::blank(60, 100, 2); // 30 x 50 points
    auto bare = Button::create();
    bare->setImage(image, ControlState::Normal);
    bare->sizeToFit();
    EXPECT_EQ(bare->frame().size, (Size{30, 50}));

    bare->setTitle("Go", ControlState::Normal);
    Size go = TextLayout("Go", Font::systemFont(15)).size();
    EXPECT_EQ(bare->sizeThatFits({}), (Size{30 + go.width, 50}));
}

TEST_F(ButtonTest, TouchUpInsideFiresOnlyForATouchEndingOnTheButton)
{
    int taps = 0;
    std::weak_ptr<Button> weak = button;
    button->addAction(ControlEvent::TouchUpInside, [&taps, weak] {
        if (weak.lock())
            ++taps;
    });
    vq::test::tap(root, {60, 40});
    vq::test::Finger(root, {60, 40}).dragTo({60, 200}).lift();
    EXPECT_EQ(taps, 1);

    button->setEnabled(false);
    EXPECT_EQ(vq::test::tap(root, {60, 40}), root);
    EXPECT_EQ(taps, 1);
}


// A solid image of w x h pixels at scale 1.
std::shared_ptr<vq::Image> solid(int w, int h, vq::Color c)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    cairo_paint(cr);
    cairo_destroy(cr);
    auto image = vq::Image::fromSurface(surface, 1);
    cairo_surface_destroy(surface);
    return image;
}

bool near(vq::Color a, vq::Color b) { return std::abs(a.r - b.r) < 0.05f && std::abs(a.g - b.g) < 0.05f && std::abs(a.b - b.b) < 0.05f; }

TEST(ButtonDrawing, BackgroundFillsImageSitsCentredTitleOnTop)
{
    using namespace vq;
    auto button = Button::create({0, 0, 100, 44});
    button->setBackgroundImage(solid(4, 4, Color::redColor()), ControlState::Normal);
    button->setImage(solid(20, 20, Color::blueColor()), ControlState::Normal);
    auto picture = renderView(*button, {100, 44}, 1);
    EXPECT_TRUE(near(picture->pixelAt(1, 1), Color::redColor()));
    EXPECT_TRUE(near(picture->pixelAt(98, 42), Color::redColor()));
    EXPECT_TRUE(near(picture->pixelAt(50, 22), Color::blueColor()));
    EXPECT_TRUE(near(picture->pixelAt(41, 13), Color::blueColor()));
    EXPECT_TRUE(near(picture->pixelAt(38, 22), Color::redColor()));

    // An image larger than the button shrinks to fit, keeping its shape.
    button->setImage(solid(200, 100, Color::blueColor()), ControlState::Normal);
    picture = renderView(*button, {100, 44}, 1);
    EXPECT_TRUE(near(picture->pixelAt(50, 2), Color::blueColor()));
    EXPECT_TRUE(near(picture->pixelAt(50, 41), Color::blueColor()));
    EXPECT_TRUE(near(picture->pixelAt(3, 22), Color::redColor()));

    // A white title appears in the middle of the red.
    button->setImage(nullptr, ControlState::Normal);
    button->setTitle("MMMM", ControlState::Normal);
    picture = renderView(*button, {100, 44}, 1);
    int whiteish = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 44; ++y)
            if (picture->pixelAt(x, y).g > 0.6f) {
                ++whiteish;
                EXPECT_GT(x, 10);
                EXPECT_LT(x, 90);
            }
    EXPECT_GT(whiteish, 20);
}

} // namespace
