#include "artwork/ArtworkCatalogue.h"
#include "artwork/Paint.h"

#include "core/PropertyList.h"
#include "options/StyleCatalogue.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <map>
#include <set>
#include <string_view>
#include <tuple>

using namespace vq::artwork;
using vq::StyleCatalogue;

namespace {

// FNV-1a over the visible pixels of a surface.
std::uint64_t pixelHash(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 4; ++x) {
            hash ^= data[y * stride + x];
            hash *= 1099511628211ull;
        }
    return hash;
}

// Fraction of pixels that differ by more than a little between two same-sized surfaces.
double differingFraction(cairo_surface_t* a, cairo_surface_t* b)
{
    int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    int strideA = cairo_image_surface_get_stride(a), strideB = cairo_image_surface_get_stride(b);
    const unsigned char* pa = cairo_image_surface_get_data(a);
    const unsigned char* pb = cairo_image_surface_get_data(b);
    long differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                if (std::abs(pa[y * strideA + 4 * x + c] - pb[y * strideB + 4 * x + c]) > 8) {
                    ++differing;
                    break;
                }
    return static_cast<double>(differing) / (w * h);
}

std::map<std::string, std::pair<int, int>> expectedPixelSizes()
{
    std::map<std::string, std::pair<int, int>> sizes{
        {"bar", {640, 88}},      {"bar-ipad", {1536, 88}},   {"clear", {102, 60}},      {"clear-ipad", {204, 120}},
        {"random", {128, 60}},   {"random-ipad", {256, 120}}, {"bg-1", {640, 526}},     {"bg-1-i5", {640, 604}},
        {"bg-1-ipad", {1536, 1046}}, {"square-hl", {176, 176}},
    };
    for (std::string tab : {"text", "color", "texture", "font"}) {
        sizes[tab] = sizes[tab + "-hl"] = {160, 98};
        sizes[tab + "-ipad"] = sizes[tab + "-hl-ipad"] = {384, 200};
    }
    for (int n = 1; n <= 90; ++n) {
        sizes[StyleCatalogue::textureName(n)] = {490, 490};
        sizes[StyleCatalogue::thumbnailName(n)] = {160, 160};
    }
    // The big ad's card, close and get button, at twice the points it shows them at.
    for (const auto& [name, size] : std::map<std::string, std::pair<int, int>>{
             {"ad-img/ad-big", {608, 800}},     {"ad-img/ad-big-i5", {608, 972}},   {"ad-img/ad-big-ipad", {1068, 1530}},
             {"ad-img/ad-close", {56, 56}},     {"ad-img/ad-close-ipad", {102, 102}}, {"ad-img/ad-get", {218, 52}},
             {"ad-img/ad-get-ipad", {348, 80}}})
        sizes[name] = size;
    // The wall ad's, in the ads' own folder.
    for (auto [name, w, h] : {std::tuple{"ad-wall", 608, 800}, {"ad-wall-i5", 608, 972}, {"ad-wall-ipad", 1068, 1530},
                              {"ad-wall-row", 564, 178}, {"ad-wall-row-ipad", 1000, 234}, {"ad-installed", 40, 40},
                              {"ad-installed-ipad", 50, 50}})
        sizes[std::string("ad-img/") + name] = {w, h};
    // The reward wall's, at twice the points its page and rows give them.
    std::map<std::string, std::pair<int, int>> reward{
        {"ad-reward", {640, 274}},          {"ad-reward-ipad", {1536, 2048}},
        {"ad-bg", {640, 862}},              {"ad-reward-row", {640, 146}},
        {"ad-reward-row-2", {640, 146}},    {"ad-reward-row-1-ipad", {750, 220}},
        {"ad-reward-row-2-ipad", {750, 220}}, {"ad-reward-free", {114, 60}},
        {"ad-reward-free-ipad", {174, 92}}, {"ad-reward-installed", {114, 60}},
        {"ad-reward-installed-ipad", {174, 92}}, {"ad-reward-progress", {480, 32}},
        {"ad-reward-progress-ipad", {1132, 70}}, {"ad-reward-track", {480, 32}},
        {"ad-reward-track-ipad", {1132, 70}}, {"ad-back", {116, 88}},
        {"ad-back-ipad", {196, 108}},       {"ad-reward-help", {116, 88}},
        {"ad-reward-help-ipad", {192, 108}}, {"ad-reward-bg-help", {596, 778}},
        {"ad-reward-bg-help-ipad", {1068, 1530}},
    };
    for (const auto& [name, size] : reward)
        sizes["ad-img/" + name] = size;
    return sizes;
}

const ArtworkItem& find(const std::vector<ArtworkItem>& items, std::string_view name)
{
    for (const auto& item : items)
        if (item.name == name)
            return item;
    throw std::runtime_error("no artwork named " + std::string(name));
}

// Pango keeps its font caches for the thread's life; drop them before the leak check.
class FontCacheRelease : public testing::Environment {
public:
    void TearDown() override { releaseFontCaches(); }
};
const auto* fontCacheRelease = testing::AddGlobalTestEnvironment(new FontCacheRelease);

} // namespace

TEST(ArtworkFiles, EveryNamedPictureIsWrittenAtItsPixelSize)
{
    vq::test::TempDir dir;
    ASSERT_EQ(ArtworkCatalogue::writeAll(dir / "resources"), std::nullopt);

    auto expected = expectedPixelSizes();
    std::set<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "resources"))
        if (!entry.is_directory())
            written.insert(entry.path().lexically_relative(dir / "resources").string());
    EXPECT_EQ(written.size(), expected.size()) << "no stray or temporary files";

    for (const auto& [name, size] : expected) {
        auto path = dir / "resources" / (name + "@2x.png");
        ASSERT_TRUE(written.count(name + "@2x.png")) << name;
        Surface png(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
        ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS) << name;
        EXPECT_EQ(cairo_image_surface_get_width(png.get()), size.first) << name;
        EXPECT_EQ(cairo_image_surface_get_height(png.get()), size.second) << name;
    }
}

TEST(ArtworkFiles, UnwritableFolderIsReported)
{
    vq::test::TempDir dir;
    std::ofstream(dir / "file") << "x";
    auto error = ArtworkCatalogue::writeAll(dir / "file" / "resources");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("file/resources"), std::string::npos) << *error;
}

TEST(ArtworkFiles, AdsWhiteListIsAnArrayOfTheTestDevices)
{
    vq::test::TempDir dir;
    ASSERT_EQ(ArtworkCatalogue::writeAdsWhiteList(dir.path(), {"Simulator", "0f60a1"}), std::nullopt);
    std::ifstream in(dir / "AdsWhiteList.plist", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto list = vq::parsePropertyList(bytes);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, vq::PlistValue(vq::PlistValue::Array{vq::PlistValue("Simulator"), vq::PlistValue("0f60a1")}));
    // Rewritten whole, with no temporary left beside it.
    ASSERT_EQ(ArtworkCatalogue::writeAdsWhiteList(dir.path(), {}), std::nullopt);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
    std::ifstream again(dir / "AdsWhiteList.plist", std::ios::binary);
    std::string empty((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    EXPECT_EQ(vq::parsePropertyList(empty), vq::PlistValue(vq::PlistValue::Array{}));

    std::ofstream(dir / "file") << "x";
    EXPECT_TRUE(ArtworkCatalogue::writeAdsWhiteList(dir / "file" / "res", {"a"}));
}

TEST(ArtworkPictures, TexturesAreDistinctAndTheirThumbnailsMatchThem)
{
    auto items = ArtworkCatalogue::items();
    std::map<std::uint64_t, int> seen;
    for (int n = 1; n <= 90; ++n) {
        auto texture = ArtworkCatalogue::render(find(items, StyleCatalogue::textureName(n)));
        auto [it, fresh] = seen.emplace(pixelHash(texture.get()), n);
        EXPECT_TRUE(fresh) << "texture " << n << " repeats texture " << it->second;

        // The thumbnail is the texture in small: scale the texture down and compare.
        auto thumbnail = ArtworkCatalogue::render(find(items, StyleCatalogue::thumbnailName(n)));
        Surface reduced(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 160, 160), cairo_surface_destroy);
        cairo_t* cr = cairo_create(reduced.get());
        cairo_scale(cr, 160.0 / 490, 160.0 / 490);
        cairo_set_source_surface(cr, texture.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(reduced.get());
        // Fine detail (speckles, hairlines) is drawn afresh at the small size, so
        // allow some difference, but not a different picture.
        EXPECT_LT(differingFraction(thumbnail.get(), reduced.get()), 0.5) << "thumbnail " << n;
        // And textures are opaque, so nothing shows through behind the message.
        const unsigned char* px = cairo_image_surface_get_data(texture.get());
        EXPECT_EQ(px[3], 255) << "texture " << n;
    }
}

TEST(ArtworkPictures, SelectedTabsDifferAndDrawingIsDeterministic)
{
    auto items = ArtworkCatalogue::items();
    for (std::string tab : {"text", "color", "texture", "font"})
        for (std::string suffix : {"", "-ipad"}) {
            auto normal = ArtworkCatalogue::render(find(items, tab + suffix));
            auto selected = ArtworkCatalogue::render(find(items, tab + "-hl" + suffix));
            EXPECT_GT(differingFraction(normal.get(), selected.get()), 0.3) << tab << suffix;
        }

    // Tabs differ from one another, not only from their selected forms.
    std::set<std::uint64_t> tabs;
    for (std::string tab : {"text", "color", "texture", "font"})
        tabs.insert(pixelHash(ArtworkCatalogue::render(find(items, tab)).get()));
    EXPECT_EQ(tabs.size(), 4u);

    // All the furniture, and one texture of each pattern in both sizes (each
    // texture seeds its own generator, so any shared state would show here).
    for (const auto& item : items) {
        bool texture = item.name.find_first_not_of("T-0123456789") == std::string::npos;
        if (texture && (std::stoi(item.name.substr(item.name.starts_with("T-") ? 2 : 0)) - 1) % 6 != 5)
            continue;
        auto first = ArtworkCatalogue::render(item);
        auto second = ArtworkCatalogue::render(item);
        EXPECT_EQ(pixelHash(first.get()), pixelHash(second.get())) << item.name;
    }
}

namespace {
// Mean luminance (0..1) of a surface's pixels inside a rectangle given in points.
double meanLuminance(cairo_surface_t* surface, double x, double y, double w, double h)
{
    cairo_surface_flush(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    double sum = 0;
    int n = 0;
    for (int py = static_cast<int>(y * 2); py < static_cast<int>((y + h) * 2); ++py)
        for (int px = static_cast<int>(x * 2); px < static_cast<int>((x + w) * 2); ++px) {
            const unsigned char* p = data + py * stride + 4 * px; // BGRA, premultiplied
            sum += (0.0722 * p[0] + 0.7152 * p[1] + 0.2126 * p[2]) / 255;
            ++n;
        }
    return n ? sum / n : 0;
}

// Alpha and the brightest channel of one pixel, at a point position (scale 2).
std::pair<int, int> alphaAndLevel(cairo_surface_t* s, double x, double y)
{
    cairo_surface_flush(s);
    int px = static_cast<int>(x * ArtworkItem::scale), py = static_cast<int>(y * ArtworkItem::scale);
    const unsigned char* p = cairo_image_surface_get_data(s) + py * cairo_image_surface_get_stride(s) + 4 * px;
    return {p[3], std::max({p[0], p[1], p[2]})};
}

} // namespace

TEST(ArtworkPictures, TheRewardWallsWhiteTextHasADarkGroundAndItsBarShowsAgainstItsTrack)
{
    auto items = ArtworkCatalogue::items();
    auto render = [&](const char* name) { return ArtworkCatalogue::render(find(items, std::string("ad-img/") + name)); };
    // Where the page, its rows and the help card lay white text.
    struct Area {
        const char* picture;
        double x, y, w, h;
    };
    const Area areas[] = {
        {"ad-reward", 60, 7, 200, 30},          {"ad-reward", 10, 55, 300, 40},
        {"ad-reward-ipad", 30, 60, 708, 60},    {"ad-reward-row", 85, 5, 173, 60},
        {"ad-reward-row-2", 85, 5, 173, 60},    {"ad-reward-row-1-ipad", 100, 15, 180, 80},
        {"ad-reward-row-2-ipad", 100, 15, 180, 80}, {"ad-reward-bg-help", 20, 30, 258, 329},
        {"ad-reward-bg-help-ipad", 37, 57, 460, 650},
    };
    for (const auto& a : areas) {
        auto picture = render(a.picture);
        EXPECT_LT(meanLuminance(picture.get(), a.x, a.y, a.w, a.h), 0.35) << a.picture;
    }
    for (std::string suffix : {"", "-ipad"}) {
        auto bar = render(("ad-reward-progress" + suffix).c_str());
        auto track = render(("ad-reward-track" + suffix).c_str());
        EXPECT_GT(differingFraction(bar.get(), track.get()), 0.8) << suffix;
        // Buttons are drawn, not left blank.
        for (std::string button : {"ad-back", "ad-reward-help", "ad-reward-free", "ad-reward-installed"}) {
            auto picture = render((button + suffix).c_str());
            int w = cairo_image_surface_get_width(picture.get()), h = cairo_image_surface_get_height(picture.get());
            Surface blank(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h), cairo_surface_destroy);
            EXPECT_GT(differingFraction(picture.get(), blank.get()), 0.2) << button << suffix;
        }
    }
}

TEST(ArtworkPictures, BigAdCardsFrameThePictureWhereTheAdPutsItAndButtonsAreRound)
{
    auto items = ArtworkCatalogue::items();
    struct Well {
        const char* name;
        double x, y, w, h;
    };
    for (const Well& well : {Well{"ad-img/ad-big", 12, 41.5, 280, 257}, Well{"ad-img/ad-big-i5", 12, 42.5, 280, 341},
                             Well{"ad-img/ad-big-ipad", 16.5, 66, 501, 541}}) {
        auto card = ArtworkCatalogue::render(find(items, well.name));
        auto inside = alphaAndLevel(card.get(), well.x + well.w / 2, well.y + 3);
        auto frame = alphaAndLevel(card.get(), well.x + well.w / 2, well.y - 1.5);
        auto corner = alphaAndLevel(card.get(), 0.5, 0.5);
        EXPECT_EQ(inside.first, 255) << well.name;
        EXPECT_GT(frame.second, inside.second + 60) << well.name << ": a light frame round a dark well";
        EXPECT_LT(corner.first, 64) << well.name << ": rounded corners";
    }
    for (const char* name : {"ad-img/ad-close", "ad-img/ad-close-ipad"}) {
        const auto& item = find(items, name);
        auto close = ArtworkCatalogue::render(item);
        EXPECT_EQ(alphaAndLevel(close.get(), 0.5, 0.5).first, 0) << name;
        EXPECT_EQ(alphaAndLevel(close.get(), item.width / 2, item.height / 2).first, 255) << name;
    }
    for (const char* name : {"ad-img/ad-get", "ad-img/ad-get-ipad"}) {
        const auto& item = find(items, name);
        auto get = ArtworkCatalogue::render(item);
        EXPECT_EQ(alphaAndLevel(get.get(), 0.2, 0.2).first, 0) << name;
        EXPECT_EQ(alphaAndLevel(get.get(), item.width * 0.15, item.height / 2).first, 255) << name;
    }
}
