#include "graphics/Image.h"

#include "core/Bundle.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "graphics/GraphicsContext.h"
#include "graphics/Screen.h"
#include "support/TempDir.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <optional>

using namespace vq;

namespace {

// A solid picture of w x h pixels.
std::shared_ptr<Image> solid(int w, int h, Color c, double scale = 1)
{
    auto image = Image::blank(w, h, scale);
    cairo_t* cr = cairo_create(image->surface());
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    cairo_paint(cr);
    cairo_destroy(cr);
    return image;
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// Points the bundle at a fresh resource folder and puts everything back afterwards.
class NamedImageTest : public testing::Test {
protected:
    void SetUp() override
    {
        _savedDir = Bundle::main().resourceDir;
        Bundle::main().resourceDir = _dir.path();
        Image::clearNamedCache();
    }
    void TearDown() override
    {
        Bundle::main().resourceDir = _savedDir;
        Image::clearNamedCache();
    }
    test::TempDir _dir;
    std::filesystem::path _savedDir;
};

std::uint32_t crc32Of(const std::uint8_t* p, std::size_t n)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void putBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

// The PNG with its header claiming another size, its checksum made right again.
std::vector<std::uint8_t> pngClaiming(std::vector<std::uint8_t> png, std::uint32_t w, std::uint32_t h)
{
    putBigEndian(png, 16, w);
    putBigEndian(png, 20, h);
    putBigEndian(png, 29, crc32Of(png.data() + 12, 17));
    return png;
}

// The PNG with a text chunk just before its end chunk that announces length
// bytes and holds a few.
std::vector<std::uint8_t> pngWithChunkClaiming(std::vector<std::uint8_t> png, std::uint32_t length)
{
    std::vector<std::uint8_t> chunk = {0, 0, 0, 0, 't', 'E', 'X', 't', 'k', 0, 'v', 0, 0, 0, 0};
    putBigEndian(chunk, 0, length);
    png.insert(png.end() - 12, chunk.begin(), chunk.end());
    return png;
}

// The JPEG with its frame header claiming another size.
std::vector<std::uint8_t> jpegClaiming(std::vector<std::uint8_t> jpeg, std::uint16_t w, std::uint16_t h)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(h);
            jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(w);
            break;
        }
    }
    return jpeg;
}

} // namespace

// AddressSanitizer's allocation hooks, where the build has them.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*)) __attribute__((weak));

namespace {

std::atomic<bool> recording{false};
std::atomic<std::size_t> largest{0};

// The largest single allocation made while fn runs; nothing in a build without the hooks.
std::optional<std::size_t> largestAllocationDuring(const std::function<void()>& fn)
{
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
        __sanitizer_install_malloc_and_free_hooks(
            [](const volatile void*, std::size_t n) {
                if (recording.load(std::memory_order_relaxed) && n > largest.load())
                    largest.store(n);
            },
            [](const volatile void*) {}) != 0;
    largest = 0;
    recording = true;
    fn();
    recording = false;
    if (!hooked)
        return std::nullopt;
    return largest.load();
}

} // namespace

TEST_F(NamedImageTest, PrefersTheDoubleScalePictureOnADoubleScaleScreen)
{
    ASSERT_EQ(Screen::main().scale(), 2);
    writeBytes(_dir / "star.png", solid(10, 6, Color::redColor())->pngData());
    writeBytes(_dir / "star@2x.png", solid(20, 12, Color::blueColor())->pngData());

    auto star = Image::imageNamed("star");
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(star->scale(), 2);
    EXPECT_EQ(star->pixelWidth(), 20);
    EXPECT_EQ(star->size(), (Size{10, 6}));
    EXPECT_EQ(star->pixelAt(3, 3), Color::blueColor());
    EXPECT_EQ(star->name(), "star");
    EXPECT_EQ(Image::imageNamed("star"), star) << "named images are cached";

    // Only the plain picture: it is used at scale 1.
    writeBytes(_dir / "plain.png", solid(8, 4, Color::redColor())->pngData());
    auto plain = Image::imageNamed("plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->scale(), 1);
    EXPECT_EQ(plain->size(), (Size{8, 4}));
}

TEST_F(NamedImageTest, FindsJpegPicturesAfterPng)
{
    writeBytes(_dir / "photo.jpg", jpegRepresentation(*solid(16, 16, Color::whiteColor()), 0.9));
    auto photo = Image::imageNamed("photo");
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->pixelWidth(), 16);
    EXPECT_EQ(photo->scale(), 1);
    EXPECT_NE(Image::imageNamed("photo.jpg"), nullptr);
    EXPECT_EQ(Image::imageNamed("photo.png"), nullptr);
}

TEST_F(NamedImageTest, MissingPictureGivesNothingAndIsLoggedOnce)
{
    LogCapture log;
    EXPECT_EQ(Image::imageNamed("no-such-picture"), nullptr);
    EXPECT_EQ(Image::imageNamed("no-such-picture"), nullptr);
    Image::clearNamedCache();
    EXPECT_EQ(Image::imageNamed("no-such-picture"), nullptr);
    EXPECT_EQ(log.count("image not found: no-such-picture"), 1u);
    EXPECT_EQ(log.lines().size(), 1u);

}

TEST_F(NamedImageTest, NamingReadsNothingAndMeasuringReadsOnlyTheHeader)
{
    writeBytes(_dir / "swatch@2x.png", solid(20, 12, Color::redColor())->pngData());
    auto swatch = Image::imageNamed("swatch");
    ASSERT_NE(swatch, nullptr);
    EXPECT_FALSE(swatch->isDecoded());

    // Replacing the file now shows when it is read: the size comes from the new header
    // without decoding, the pixels from the new file.
    writeBytes(_dir / "swatch@2x.png", solid(30, 8, Color::blueColor())->pngData());
    EXPECT_EQ(swatch->size(), (Size{15, 4}));
    EXPECT_FALSE(swatch->isDecoded()) << "measuring a PNG reads its header only";
    EXPECT_EQ(swatch->pixelAt(1, 1), Color::blueColor());
    EXPECT_TRUE(swatch->isDecoded());
}

TEST_F(NamedImageTest, EveryNameForOneFileSharesOneDecoding)
{
    writeBytes(_dir / "dot@2x.png", solid(4, 4, Color::whiteColor())->pngData());
    auto plain = Image::imageNamed("dot");
    auto typed = Image::imageNamed("dot.png");
    auto exact = Image::imageNamed("dot@2x");
    ASSERT_TRUE(plain && typed && exact);
    EXPECT_NE(plain, typed) << "each keeps its own name";
    EXPECT_EQ(typed->name(), "dot.png");

    cairo_surface_t* pixels = typed->surface();
    EXPECT_TRUE(plain->isDecoded());
    EXPECT_TRUE(exact->isDecoded());
    EXPECT_EQ(plain->surface(), pixels);
    EXPECT_EQ(exact->surface(), pixels);
    // Decoded once: a file changed afterwards is not read again.
    writeBytes(_dir / "dot@2x.png", solid(4, 4, Color::redColor())->pngData());
    EXPECT_EQ(Image::imageNamed("dot")->pixelAt(0, 0), Color::whiteColor());
    EXPECT_EQ(plain->surface(), pixels);
}

TEST_F(NamedImageTest, ABadFileFailsClearlyWhenFirstUsed)
{
    LogCapture log;
    std::ofstream(_dir / "broken.png") << "not a picture";
    auto png = solid(8, 8, Color::redColor())->pngData();
    // A good header over a cut body: it measures, then fails when drawn.
    writeBytes(_dir / "cut.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 40));

    auto broken = Image::imageNamed("broken");
    auto cut = Image::imageNamed("cut");
    ASSERT_TRUE(broken && cut);
    EXPECT_TRUE(log.lines().empty()) << "nothing is read when named";

    EXPECT_EQ(broken->size(), (Size{0, 0}));
    EXPECT_EQ(log.count(fmt::format("image cannot be decoded: broken ({})", (_dir / "broken.png").string())), 1u);

    EXPECT_EQ(cut->pixelWidth(), 8);
    auto canvas = Image::blank(8, 8, 1);
    {
        cairo_t* cr = cairo_create(canvas->surface());
        GraphicsContext context(cr);
        context.drawImage(*cut, {{0, 0}, {8, 8}});
        cairo_destroy(cr);
    }
    EXPECT_EQ(canvas->pixelAt(4, 4), Color::clearColor()) << "a picture that does not decode draws nothing";
    EXPECT_EQ(cut->size(), (Size{0, 0}));
    EXPECT_EQ(log.count(fmt::format("image cannot be decoded: cut ({})", (_dir / "cut.png").string())), 1u);
    cut->surface();
    EXPECT_EQ(log.lines().size(), 2u) << "each failure is said once";
}

TEST(ImageTest, PngRoundTripKeepsPixelsAndAlpha)
{
    auto image = Image::blank(4, 3, 2);
    cairo_t* cr = cairo_create(image->surface());
    cairo_set_source_rgba(cr, 1, 0, 0, 0.5);
    cairo_rectangle(cr, 0, 0, 2, 3);
    cairo_fill(cr);
    cairo_destroy(cr);
    Color half = image->pixelAt(0, 0);
    EXPECT_NEAR(half.r, 1, 0.01);
    EXPECT_NEAR(half.a, 0.5, 0.01);
    EXPECT_EQ(image->pixelAt(3, 0), Color::clearColor());
    EXPECT_EQ(image->pixelAt(-1, 0), Color::clearColor());
    EXPECT_EQ(image->pixelAt(4, 0), Color::clearColor());

    test::TempDir dir;
    ASSERT_EQ(image->writePng(dir / "out@2x.png"), std::nullopt);
    auto back = Image::imageWithContentsOfFile(dir / "out@2x.png");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->scale(), 2);
    EXPECT_EQ(back->size(), (Size{2, 1.5}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(back->pixelAt(x, y), image->pixelAt(x, y)) << x << "," << y;

    EXPECT_TRUE(image->writePng(dir / "missing-folder" / "x.png").has_value());
    EXPECT_EQ(Image::imageWithContentsOfFile(dir / "nothing.png"), nullptr);
}

TEST(ImageTest, CorruptBytesDecodeToNothing)
{
    std::vector<std::uint8_t> junk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(Image::imageWithData(junk), nullptr);
    EXPECT_EQ(Image::imageWithData({}), nullptr);

    auto png = solid(8, 8, Color::redColor())->pngData();
    std::vector<std::uint8_t> cutPng(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    EXPECT_EQ(Image::imageWithData(cutPng), nullptr);

    std::vector<std::uint8_t> fakeJpeg = {0xff, 0xd8, 0xff, 0xe0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Image::imageWithData(fakeJpeg), nullptr);
}

// Network pictures announce their size before their pixels: a few hundred
// bytes once made the decoders ask for gigabytes.
TEST(ImageTest, OversizedPicturesAreRefusedBeforeTheirMemoryIsTaken)
{
    auto png = solid(4, 3, Color::redColor())->pngData();
    auto jpeg = jpegRepresentation(*solid(16, 16, Color::redColor()), 0.8);
    // Untouched, both decode; a header rewritten to the same size still does.
    ASSERT_TRUE(Image::imageWithData(png));
    ASSERT_TRUE(Image::imageWithData(pngClaiming(png, 4, 3)));
    ASSERT_TRUE(Image::imageWithData(jpeg));
    ASSERT_TRUE(Image::imageWithData(jpegClaiming(jpeg, 16, 16)));

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"PNG header of 5000 x 5000", pngClaiming(png, 5000, 5000)},
        {"PNG header of 100000 x 200", pngClaiming(png, 100000, 200)},
        {"PNG chunk announcing 1 GiB", pngWithChunkClaiming(png, 1u << 30)},
        {"JPEG header of 5000 x 5000", jpegClaiming(jpeg, 5000, 5000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<Image> image;
        auto most = largestAllocationDuring([&] { image = Image::imageWithData(c.bytes); });
        EXPECT_EQ(image, nullptr);
        if (most) {
            EXPECT_LT(*most, std::size_t{16} << 20);
        }
    }
}

TEST(ImageTest, EncodedDataIsSizedFromItsHeaderAndDecodedOnFirstUse)
{
    auto jpeg = jpegRepresentation(*solid(24, 10, Color::blueColor()), 1.0);
    auto image = Image::imageWithEncodedData(jpeg, 2);
    ASSERT_NE(image, nullptr);
    EXPECT_FALSE(image->isDecoded());
    EXPECT_EQ(image->pixelWidth(), 24);
    EXPECT_EQ(image->pixelHeight(), 10);
    EXPECT_EQ(image->size(), (Size{12, 5}));
    EXPECT_FALSE(image->isDecoded());
    auto eager = Image::imageWithData(jpeg, 2);
    ASSERT_NE(eager, nullptr);
    EXPECT_EQ(image->pixelAt(5, 5), eager->pixelAt(5, 5));
    EXPECT_TRUE(image->isDecoded());

    // A header that reads over a body that does not: sized at first, empty once decoded.
    auto png = solid(8, 8, Color::redColor())->pngData();
    png.resize(40);
    auto broken = Image::imageWithEncodedData(png);
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(broken->pixelWidth(), 8);
    EXPECT_NE(broken->surface(), nullptr);
    EXPECT_EQ(broken->pixelWidth(), 0);
    EXPECT_EQ(Image::imageWithEncodedData({1, 2, 3}), nullptr);
}
