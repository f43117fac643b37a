#include "ui/Renderer.h"

#include "core/RunLoop.h"
#include "graphics/CairoOwners.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/View.h"

#include <cairo.h>
#include <gtest/gtest.h>

using namespace vq;

namespace {

const Color kRed = Color::redColor();
const Color kBlue = Color::blueColor();
const Color kWhite = Color::whiteColor();
const Color kClear = Color::clearColor();

std::shared_ptr<View> makeView(Rect frame, std::optional<Color> background = std::nullopt)
{
    auto v = View::create(frame);
    v->setBackgroundColor(background);
    return v;
}

::testing::AssertionResult colorNear(const Color& actual, const Color& expected, float tolerance = 0.02f)
{
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << actual.r << ", " << actual.g << ", " << actual.b << ", "
                                         << actual.a << "), want (" << expected.r << ", " << expected.g << ", "
                                         << expected.b << ", " << expected.a << ")";
}

// The colour at a point (in points) of a render at scale 2.
Color at(const Image& image, double x, double y)
{
    return image.pixelAt(static_cast<int>(x * image.scale()), static_cast<int>(y * image.scale()));
}

// Counts its own draws, to see which views the renderer visits.
class CountingView : public View {
public:
    static std::shared_ptr<CountingView> create(Rect frame) { return std::shared_ptr<CountingView>(new CountingView(frame)); }
    void draw(GraphicsContext& context) override
    {
        ++draws;
        context.fillRect(presentationBounds(), kBlue);
    }
    int draws = 0;

protected:
    using View::View;
};

} // namespace

TEST(RendererTest, BackgroundsSubviewsAndHiddenViews)
{
    auto root = makeView({0, 0, 40, 40}, kWhite);
    auto child = makeView({10, 10, 10, 10}, kRed);
    auto hidden = makeView({25, 25, 10, 10}, kBlue);
    hidden->setHidden(true);
    auto transparent = makeView({0, 25, 10, 10}, kBlue);
    transparent->setAlpha(0);
    auto nothing = makeView({25, 0, 10, 10}); // no background: nothing painted
    root->addSubview(child);
    root->addSubview(hidden);
    root->addSubview(transparent);
    root->addSubview(nothing);

    auto image = renderView(*root, {40, 40}, 2);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 80);
    EXPECT_EQ(image->scale(), 2);
    EXPECT_TRUE(colorNear(at(*image, 15, 15), kRed));
    EXPECT_TRUE(colorNear(at(*image, 10, 10), kRed));
    EXPECT_TRUE(colorNear(at(*image, 9.5, 15), kWhite));
    EXPECT_TRUE(colorNear(at(*image, 20, 15), kWhite));
    EXPECT_TRUE(colorNear(at(*image, 30, 30), kWhite));
    EXPECT_TRUE(colorNear(at(*image, 5, 30), kWhite));
    EXPECT_TRUE(colorNear(at(*image, 30, 5), kWhite));

    // The root's frame origin does not move it: its bounds are drawn at (0, 0).
    root->setFrame({100, 100, 40, 40});
    EXPECT_TRUE(colorNear(at(*renderView(*root, {40, 40}, 2), 15, 15), kRed));

    // Outside the image is transparent.
    auto bigger = renderView(*root, {50, 50}, 1);
    EXPECT_TRUE(colorNear(bigger->pixelAt(45, 45), kClear));
    root->setHidden(true);
    EXPECT_TRUE(colorNear(at(*renderView(*root, {40, 40}, 2), 15, 15), kClear));
}

TEST(RendererTest, AlphaBlendsTheWholeSubtreeAsOneLayer)
{
    auto root = makeView({0, 0, 40, 40}, kWhite);
    auto half = makeView({0, 0, 20, 20}, kRed);
    half->setAlpha(0.5f);
    // Inside the half-transparent view, blue covers red before the group is blended.
    half->addSubview(makeView({0, 0, 10, 10}, kBlue));
    root->addSubview(half);

    auto image = renderView(*root, {40, 40}, 2);
    EXPECT_TRUE(colorNear(at(*image, 15, 15), Color::rgba(1, 0.5f, 0.5f)));
    EXPECT_TRUE(colorNear(at(*image, 5, 5), Color::rgba(0.5f, 0.5f, 1)));

    // Over nothing, the result keeps half alpha.
    root->setBackgroundColor(std::nullopt);
    auto overClear = renderView(*root, {40, 40}, 1);
    EXPECT_TRUE(colorNear(overClear->pixelAt(15, 15), kRed.withAlpha(0.5f)));
}

TEST(RendererTest, RoundedClippingLeavesCornersTransparentAndClipsChildren)
{
    auto root = makeView({0, 0, 60, 40});
    auto rounded = makeView({0, 0, 20, 20}, kRed);
    rounded->setCornerRadius(8);
    rounded->setClipsToBounds(true);
    rounded->addSubview(makeView({0, 0, 20, 20}, kBlue));   // fills the rounded shape
    rounded->addSubview(makeView({10, 10, 30, 30}, kBlue)); // pokes out: cut at the edge
    root->addSubview(rounded);

    auto unclipped = makeView({30, 0, 10, 10});
    unclipped->addSubview(makeView({5, 5, 20, 20}, kRed)); // not clipped: paints outside
    root->addSubview(unclipped);

    auto image = renderView(*root, {60, 40}, 2);
    EXPECT_TRUE(colorNear(image->pixelAt(0, 0), kClear));
    EXPECT_TRUE(colorNear(image->pixelAt(39, 39), kClear));
    EXPECT_TRUE(colorNear(at(*image, 10, 10), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 10, 1), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 25, 25), kClear));
    EXPECT_TRUE(colorNear(at(*image, 15, 22), kClear));
    EXPECT_TRUE(colorNear(at(*image, 50, 20), kRed));

    // A rounded background without clipping is rounded too.
    rounded->setClipsToBounds(false);
    for (auto& sub : std::vector(rounded->subviews()))
        sub->removeFromSuperview();
    image = renderView(*root, {60, 40}, 2);
    EXPECT_TRUE(colorNear(image->pixelAt(0, 0), kClear));
    EXPECT_TRUE(colorNear(at(*image, 10, 10), kRed));
}

TEST(RendererTest, BordersAreDrawnInsideTheEdgeOverSubviews)
{
    auto root = makeView({0, 0, 30, 30});
    auto boxed = makeView({5, 5, 20, 20}, kWhite);
    boxed->setBorderWidth(2);
    boxed->setBorderColor(kBlue);
    boxed->addSubview(makeView({0, 0, 20, 20}, kRed));
    root->addSubview(boxed);

    auto image = renderView(*root, {30, 30}, 2);
    EXPECT_TRUE(colorNear(at(*image, 5, 15), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 6.5, 15), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 24.5, 15), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 7.5, 15), kRed));
    EXPECT_TRUE(colorNear(at(*image, 4.5, 15), kClear));
    EXPECT_TRUE(colorNear(at(*image, 25.5, 15), kClear));
}

TEST(RendererTest, TransformsAndScrollOffsets)
{
    auto root = makeView({0, 0, 40, 40});
    auto scaled = makeView({5, 5, 10, 10}, kRed);
    scaled->setTransform(AffineTransform::makeScale(2, 2)); // about its centre: covers 0..20
    root->addSubview(scaled);

    auto scroller = makeView({20, 20, 20, 20});
    scroller->setClipsToBounds(true);
    scroller->addSubview(makeView({0, 0, 20, 10}, kRed));
    scroller->addSubview(makeView({0, 10, 20, 30}, kBlue));
    scroller->setBounds({0, 10, 20, 20}); // scrolled down by 10 points
    root->addSubview(scroller);

    auto image = renderView(*root, {40, 40}, 2);
    EXPECT_TRUE(colorNear(at(*image, 0.5, 0.5), kRed));
    EXPECT_TRUE(colorNear(at(*image, 19.5, 19.5), kRed));
    EXPECT_TRUE(colorNear(at(*image, 21, 5), kClear));
    EXPECT_TRUE(colorNear(at(*image, 25, 21), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 35, 39), kBlue));

    // A scrolled root shows its content moved up as well.
    auto content = makeView({0, 0, 20, 40});
    content->addSubview(makeView({0, 0, 20, 10}, kRed));
    content->addSubview(makeView({0, 10, 20, 30}, kBlue));
    content->setBounds({0, 10, 20, 40});
    auto shifted = renderView(*content, {20, 20}, 1);
    EXPECT_TRUE(colorNear(shifted->pixelAt(5, 1), kBlue));
}

TEST(RendererTest, ImagesAreScaledToFill)
{
    auto picture = Image::blank(2, 2, 1);
    cairo_t* cr = cairo_create(picture->surface());
    const Color quad[4] = {kRed, kBlue, Color::rgba(0, 1, 0), kWhite};
    for (int i = 0; i < 4; ++i) {
        cairo_set_source_rgb(cr, quad[i].r, quad[i].g, quad[i].b);
        cairo_rectangle(cr, i % 2, i / 2, 1, 1);
        cairo_fill(cr);
    }
    cairo_destroy(cr);

    auto root = makeView({0, 0, 50, 50});
    auto imageView = ImageView::create(picture);
    EXPECT_EQ(imageView->frame(), (Rect{0, 0, 2, 2}));
    imageView->setFrame({10, 10, 40, 40});
    root->addSubview(imageView);

    auto image = renderView(*root, {50, 50}, 2);
    EXPECT_TRUE(colorNear(at(*image, 15, 15), kRed, 0.05f));
    EXPECT_TRUE(colorNear(at(*image, 45, 15), kBlue, 0.05f));
    EXPECT_TRUE(colorNear(at(*image, 15, 45), Color::rgba(0, 1, 0), 0.05f));
    EXPECT_TRUE(colorNear(at(*image, 45, 45), kWhite, 0.05f));
    EXPECT_TRUE(colorNear(at(*image, 10.25, 10.25), kRed, 0.05f)) << "edges stay solid";
    EXPECT_TRUE(colorNear(at(*image, 5, 5), kClear));

    // Highlighted, it shows the highlighted image; with none, nothing.
    imageView->setHighlightedImage(Image::blank(1, 1, 1));
    imageView->setHighlighted(true);
    EXPECT_TRUE(colorNear(at(*renderView(*root, {50, 50}, 2), 15, 15), kClear));
    imageView->setHighlighted(false);
    imageView->setImage(nullptr);
    EXPECT_TRUE(colorNear(at(*renderView(*root, {50, 50}, 2), 15, 15), kClear));
    EXPECT_EQ(imageView->sizeThatFits({}), (Size{0, 0}));
}

TEST(RendererTest, AnimatedViewsAreDrawnWhereThePresentationIs)
{
    auto& loop = RunLoop::main();
    loop.reset();
    loop.useManualClock();
    {
        auto root = makeView({0, 0, 40, 20});
        auto mover = makeView({0, 0, 10, 10}, kRed);
        root->addSubview(mover);
        View::animate(1.0, [&] {
            mover->setFrame({20, 0, 10, 10});
            mover->setAlpha(0.5f);
        });
        // The model is already at the end; the drawing starts where it was.
        EXPECT_TRUE(colorNear(at(*renderView(*root, {40, 20}, 2), 5, 5), kRed));
        loop.advance(0.5);
        // Half way (the curve is symmetric): x from 10 to 20, alpha 0.75.
        auto mid = renderView(*root, {40, 20}, 2);
        EXPECT_TRUE(colorNear(at(*mid, 15, 5), kRed.withAlpha(0.75f), 0.03f));
        EXPECT_TRUE(colorNear(at(*mid, 9, 5), kClear));
        EXPECT_TRUE(colorNear(at(*mid, 21, 5), kClear));
        loop.advance(0.6);
        auto end = renderView(*root, {40, 20}, 2);
        EXPECT_TRUE(colorNear(at(*end, 25, 5), kRed.withAlpha(0.5f)));
        EXPECT_TRUE(colorNear(at(*end, 15, 5), kClear));
    }
    loop.reset();
    loop.useSystemClock();
}

TEST(RendererTest, SubtreesOutsideTheClipAreSkippedButOverhangsAreNot)
{
    auto root = makeView({0, 0, 40, 40});
    auto inside = CountingView::create(Rect{0, 0, 10, 10});
    auto outside = CountingView::create(Rect{100, 100, 10, 10});
    auto clippedAway = makeView({0, 20, 10, 10});
    clippedAway->setClipsToBounds(true);
    auto underClip = CountingView::create(Rect{20, 0, 5, 5}); // outside its clipping parent
    clippedAway->addSubview(underClip);
    // A parent off screen whose unclipped child hangs back into view.
    auto offscreen = makeView({-50, 0, 10, 10});
    auto overhang = CountingView::create(Rect{60, 30, 5, 5});
    offscreen->addSubview(overhang);
    for (auto& v : std::vector<std::shared_ptr<View>>{inside, outside, clippedAway, offscreen})
        root->addSubview(v);

    auto image = renderView(*root, {40, 40}, 1);
    EXPECT_EQ(inside->draws, 1);
    EXPECT_EQ(outside->draws, 0);
    EXPECT_EQ(underClip->draws, 0);
    EXPECT_EQ(overhang->draws, 1);
    EXPECT_TRUE(colorNear(image->pixelAt(12, 32), kBlue));
}

TEST(GraphicsContextTest, ASavedStateUndoesTransformAndClipWhenItsScopeEnds)
{
    auto image = Image::blank(80, 40, 2);
    ASSERT_TRUE(image);
    CairoContext cr(cairo_create(image->surface()));
    cairo_scale(cr.get(), 2, 2);
    GraphicsContext gc(cr.get());
    {
        GraphicsContext::SavedState saved(gc);
        gc.translate(20, 0);
        gc.clipToRect({0, 0, 5, 5});
        gc.fillRect({0, 0, 20, 20}, kRed);
        {
            GraphicsContext::SavedState inner(gc);
            gc.translate(0, 100);
        }
        gc.fillRect({1, 1, 1, 1}, kBlue); // the inner shift is gone, the outer clip and shift are not
    }
    gc.fillRect({0, 10, 10, 10}, kBlue); // back at the origin, unclipped
    cairo_surface_flush(image->surface());
    EXPECT_TRUE(colorNear(at(*image, 22, 3), kRed));
    EXPECT_TRUE(colorNear(at(*image, 21.2, 1.2), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 30, 3), kClear)) << "clipped";
    EXPECT_TRUE(colorNear(at(*image, 2, 2), kClear)) << "shifted";
    EXPECT_TRUE(colorNear(at(*image, 5, 15), kBlue));
    EXPECT_TRUE(colorNear(at(*image, 15, 15), kClear));
}

// A picture drawn a band at a time must not show where the bands meet: text, rounded
// corners, a translucent layer and a rotated view all cross band edges here, and the
// heights leave a short last band and a picture shorter than one band.
TEST(RendererTest, TheJpegDrawnInBandsIsTheWholePicturesJpeg)
{
    for (Size size : {Size{170, 170}, Size{150, 113.5}, Size{40, 3}}) {
        auto root = makeView({{0, 0}, size}, kWhite);
        root->setCornerRadius(12);
        root->setClipsToBounds(true);
        auto layer = makeView({10, 20, 130, 60}, kBlue);
        layer->setAlpha(0.5);
        layer->setCornerRadius(9);
        auto tilted = makeView({60, 40, 50, 70}, kRed);
        tilted->setTransform({0.92, 0.39, -0.39, 0.92, 0, 0}); // about 23 degrees
        auto label = Label::create({{8, 30}, {150, 60}});
        label->setText("Bands meet here, unseen");
        label->setNumberOfLines(0);
        root->addSubview(layer);
        root->addSubview(tilted);
        root->addSubview(label);

        auto whole = jpegRepresentation(*renderView(*root, size, 2), 1.0);
        ASSERT_FALSE(whole.empty());
        EXPECT_EQ(renderViewAsJpeg(*root, size, 2, 1.0), whole) << size.width << " x " << size.height;
    }
}
