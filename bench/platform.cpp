// The graphics layer's three speed targets: drawing the whole phone screen,
// measuring the editor's text, encoding the sent picture as JPEG.
#include "graphics/CairoOwners.h"
#include "graphics/Font.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Image.h"
#include "graphics/TextLayout.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Renderer.h"
#include "ui/View.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <string>

using namespace vq;

namespace {

// A picture with some detail: a vertical gradient with diagonal stripes.
std::shared_ptr<Image> makePicture(int w, int h, double scale, Color top, Color bottom)
{
    auto image = Image::blank(w, h, scale);
    CairoContext context(cairo_create(image->surface()));
    cairo_t* cr = context.get();
    CairoPattern gradient(cairo_pattern_create_linear(0, 0, 0, h));
    cairo_pattern_add_color_stop_rgb(gradient.get(), 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(gradient.get(), 1, bottom.r, bottom.g, bottom.b);
    cairo_set_source(cr, gradient.get());
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
    cairo_set_line_width(cr, 3);
    for (int x = -h; x < w; x += 12) {
        cairo_move_to(cr, x, 0);
        cairo_line_to(cr, x + h, h);
    }
    cairo_stroke(cr);
    return image;
}

std::shared_ptr<View> plain(Rect frame, std::optional<Color> background = std::nullopt)
{
    auto v = View::create(frame);
    v->setBackgroundColor(background);
    return v;
}

std::shared_ptr<Label> label(Rect frame, const std::string& text, Font font, Color color,
                             TextAlignment alignment = TextAlignment::Left)
{
    auto l = Label::create(frame);
    l->setText(text);
    l->setFont(std::move(font));
    l->setTextColor(color);
    l->setTextAlignment(alignment);
    return l;
}

// A button-like view: background image, icon and title.
std::shared_ptr<View> button(Rect frame, const std::shared_ptr<Image>& background, const std::shared_ptr<Image>& icon,
                             const std::string& title)
{
    auto b = plain(frame);
    auto bg = ImageView::create(Rect{0, 0, frame.width(), frame.height()});
    bg->setImage(background);
    b->addSubview(bg);
    auto i = ImageView::create(Rect{4, (frame.height() - 20) / 2, 20, 20});
    i->setImage(icon);
    b->addSubview(i);
    b->addSubview(label({26, 0, frame.width() - 30, frame.height()}, title, Font::boldSystemFont(13),
                        Color::whiteColor(), TextAlignment::Center));
    return b;
}

const std::string kMessage =
    "Meet me at the old lighthouse at seven; bring the blue lantern, two apples and a warm jacket, please!";

// The editor screen as the app builds it: a top bar, the message, the options
// panel with its tabs and a scrolled 6 x 11 grid of rounded swatches, a font
// list panel parked off screen, and a banner.
std::shared_ptr<View> phoneScreen()
{
    auto bar = makePicture(640, 88, 2, Color::rgb255(60, 60, 90), Color::rgb255(20, 20, 40));
    auto buttonBg = makePicture(120, 60, 2, Color::rgb255(90, 130, 200), Color::rgb255(40, 70, 140));
    auto icon = makePicture(40, 40, 2, Color::rgb255(250, 200, 80), Color::rgb255(200, 120, 30));
    auto texture = makePicture(88, 88, 2, Color::rgb255(200, 170, 140), Color::rgb255(120, 90, 60));
    auto check = makePicture(24, 24, 2, Color::whiteColor(), Color::lightGrayColor());

    auto root = plain({0, 0, 320, 480}, Color::rgb255(235, 232, 225));

    auto topBar = ImageView::create(Rect{0, 0, 320, 44});
    topBar->setImage(bar);
    root->addSubview(topBar);
    root->addSubview(label({80, 0, 160, 44}, "Velvet Quill", Font::boldSystemFont(20), Color::whiteColor(),
                           TextAlignment::Center));
    root->addSubview(button({6, 7, 60, 30}, buttonBg, icon, "Info"));
    root->addSubview(button({254, 7, 60, 30}, buttonBg, icon, "Send"));

    // The message, as a text view shows it.
    auto card = plain({10, 54, 300, 150}, Color::whiteColor());
    card->setCornerRadius(6);
    card->setBorderWidth(1);
    card->setBorderColor(Color::lightGrayColor());
    auto message = label({8, 8, 284, 134}, kMessage, Font::systemFont(17), Color::rgb255(40, 40, 120));
    message->setNumberOfLines(0);
    card->addSubview(message);
    root->addSubview(card);

    // Options panel: tabs, then the swatch grid in a clipped, scrolled view.
    auto panel = plain({0, 214, 320, 216}, Color::rgb255(50, 50, 60));
    const char* tabs[4] = {"Text", "Paper", "Texture", "Font"};
    for (int i = 0; i < 4; ++i)
        panel->addSubview(button({4.0 + i * 79, 4, 75, 30}, buttonBg, icon, tabs[i]));
    auto scroll = plain({0, 40, 320, 176});
    scroll->setClipsToBounds(true);
    auto content = plain({0, 0, 320, 11 * 52 + 8});
    for (int row = 0; row < 11; ++row) {
        for (int col = 0; col < 6; ++col) {
            int n = row * 6 + col;
            auto swatch = plain({8.0 + col * 52, 8.0 + row * 52, 44, 44},
                                Color::rgba(float((n * 37) % 255) / 255, float((n * 91) % 255) / 255,
                                            float((n * 53) % 255) / 255));
            swatch->setCornerRadius(8);
            swatch->setClipsToBounds(true);
            if (n % 3 == 0) {
                auto thumb = ImageView::create(Rect{0, 0, 44, 44});
                thumb->setImage(texture);
                swatch->addSubview(thumb);
            }
            auto mark = ImageView::create(Rect{30, 30, 12, 12});
            mark->setImage(check);
            mark->setHidden(n != 14);
            swatch->addSubview(mark);
            if (n == 14) {
                swatch->setBorderWidth(2);
                swatch->setBorderColor(Color::whiteColor());
            }
            content->addSubview(swatch);
        }
    }
    scroll->addSubview(content);
    scroll->setBounds({0, 120, 320, 176}); // scrolled down a little
    panel->addSubview(scroll);
    root->addSubview(panel);

    // The font list panel, parked to the right of the screen until its tab is picked.
    auto fonts = plain({320, 254, 320, 176}, Color::rgb255(50, 50, 60));
    for (int i = 0; i < 30; ++i)
        fonts->addSubview(label({10, 4.0 + i * 30, 300, 28}, "The quick brown fox", Font::systemFont(17),
                                Color::whiteColor()));
    root->addSubview(fonts);

    // Banner.
    auto banner = plain({0, 430, 320, 50}, Color::blackColor());
    banner->addSubview(button({4, 4, 312, 42}, buttonBg, icon, "Get the sequel"));
    root->addSubview(banner);
    return root;
}

int countViews(const View& v)
{
    int n = 1;
    for (const auto& child : v.subviews())
        n += countViews(*child);
    return n;
}

// Drawing the whole phone screen at scale 2 into one reused screen-sized surface.
void BM_DrawPhoneScreen(benchmark::State& state)
{
    auto root = phoneScreen();
    auto canvas = Image::blank(640, 960, 2);
    CairoContext context(cairo_create(canvas->surface()));
    cairo_t* cr = context.get();
    GraphicsContext gc(cr);
    cairo_scale(cr, 2, 2);
    for (auto _ : state) {
        {
            CairoSavedState clearing(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
            cairo_paint(cr);
        }
        drawViewTree(gc, *root);
        cairo_surface_flush(canvas->surface());
        benchmark::DoNotOptimize(cairo_image_surface_get_data(canvas->surface()));
    }
    state.counters["views"] = countViews(*root);
}
BENCHMARK(BM_DrawPhoneScreen)->Unit(benchmark::kMillisecond);

// The same through renderView, a new image each time (what a screenshot does).
void BM_RenderPhoneScreen(benchmark::State& state)
{
    auto root = phoneScreen();
    for (auto _ : state) {
        auto image = renderView(*root, {320, 480}, 2);
        benchmark::DoNotOptimize(image.get());
    }
    state.counters["views"] = countViews(*root);
}
BENCHMARK(BM_RenderPhoneScreen)->Unit(benchmark::kMillisecond);

// The editor's measure after each keystroke: a different 100-character text
// every time, so nothing is answered from the recent-results cache.
void BM_MeasureEditedText(benchmark::State& state)
{
    Font font = Font::systemFont(17);
    std::string text = kMessage.substr(0, 100);
    std::size_t i = 0;
    double height = 0;
    for (auto _ : state) {
        // Replace one letter, as typing over the text would.
        std::size_t at = (i * 7) % text.size();
        if (text[at] != ' ')
            text[at] = static_cast<char>('a' + (i % 26));
        ++i;
        height = measureText(text, font, 140).height;
        benchmark::DoNotOptimize(height);
    }
    state.counters["height"] = height;
}
BENCHMARK(BM_MeasureEditedText)->Unit(benchmark::kMicrosecond);

// The same text measured again (several measures per edit): answered from the cache.
void BM_MeasureSameText(benchmark::State& state)
{
    Font font = Font::systemFont(17);
    std::string text = kMessage.substr(0, 100);
    for (auto _ : state)
        benchmark::DoNotOptimize(measureText(text, font, 140));
}
BENCHMARK(BM_MeasureSameText)->Unit(benchmark::kMicrosecond);

// A full layout object for the same text (what drawing uses).
void BM_TextLayout(benchmark::State& state)
{
    Font font = Font::systemFont(17);
    std::string text = kMessage.substr(0, 100);
    for (auto _ : state) {
        TextLayout layout(text, font, 140);
        benchmark::DoNotOptimize(layout.size());
    }
}
BENCHMARK(BM_TextLayout)->Unit(benchmark::kMicrosecond);

// The sent picture: a 340 x 340 card (texture plus text) at quality 1.0, 4:4:4.
void BM_JpegCard(benchmark::State& state)
{
    auto card = plain({0, 0, 340, 340});
    auto texture = ImageView::create(Rect{0, 0, 340, 340});
    texture->setImage(makePicture(340, 340, 1, Color::rgb255(210, 180, 150), Color::rgb255(110, 80, 60)));
    card->addSubview(texture);
    auto text = label({10, 10, 320, 320}, kMessage, Font::systemFont(17), Color::rgb255(40, 40, 120));
    text->setNumberOfLines(0);
    card->addSubview(text);
    auto picture = renderView(*card, {340, 340}, 1);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto jpeg = jpegRepresentation(*picture, 1.0);
        bytes = jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_JpegCard)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
