#include "graphics/PictureDecoding.h"
#include "graphics/PictureLoader.h"

#include "core/Paths.h"
#include "core/RunLoop.h"
#include "support/TempDir.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <string>
#include <vector>

using namespace vq;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A picture with something in it, so its JPEG has scans worth refining.
std::shared_ptr<Image> gradient(int w, int h)
{
    auto image = Image::blank(w, h, 1);
    cairo_t* cr = cairo_create(image->surface());
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, w, h);
    cairo_pattern_add_color_stop_rgb(p, 0, 1, 0, 0);
    cairo_pattern_add_color_stop_rgb(p, 1, 0, 0, 1);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    cairo_destroy(cr);
    return image;
}

std::string png(int w, int h)
{
    auto data = gradient(w, h)->pngData();
    return {data.begin(), data.end()};
}

// A progressive JPEG whose last scan is repeated: each repeat is a few bytes,
// and the decoder goes over the whole picture again for every one.
std::string progressiveJpeg(int w, int h, int repeatLastScan)
{
    auto image = gradient(w, h);
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    cairo_surface_flush(image->surface());
    tjCompress2(tj, cairo_image_surface_get_data(image->surface()), w, cairo_image_surface_get_stride(image->surface()),
                h, TJPF_BGRX, &out, &size, TJSAMP_420, 90, TJFLAG_PROGRESSIVE);
    std::string jpeg(reinterpret_cast<char*>(out), size);
    tjFree(out);
    tjDestroy(tj);
    auto lastScan = jpeg.rfind("\xFF\xDA");
    auto end = jpeg.rfind("\xFF\xD9");
    std::string scan = jpeg.substr(lastScan, end - lastScan);
    std::string repeated;
    for (int i = 0; i < repeatLastScan; ++i)
        repeated += scan;
    return jpeg.substr(0, end) + repeated + jpeg.substr(end);
}

} // namespace

TEST(PictureDecodingTest, PicturesThatWouldDecodeForeverAreStoppedByScansOrTime)
{
    // As an encoder writes it, a progressive picture decodes.
    auto plain = progressiveJpeg(512, 256, 0);
    auto decoded = decodePicture(bytesOf(plain), 1, {});
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->pixelWidth(), 512);

    // Its last scan repeated thousands of times once held the decoder for minutes.
    auto endless = decodePicture(bytesOf(progressiveJpeg(512, 256, 5000)), 1, {});
    EXPECT_FALSE(endless.image);
    EXPECT_EQ(endless.error, "too many scans");

    // Time runs out for either kind.
    PictureBounds hurried;
    hurried.seconds = 0;
    EXPECT_EQ(decodePicture(bytesOf(plain), 1, hurried).error, "it takes too long to decode");
    EXPECT_EQ(decodePicture(bytesOf(png(512, 256)), 1, hurried).error, "it takes too long to decode");

    // And one that is no longer wanted stops.
    std::atomic<bool> cancelled{true};
    PictureBounds dropped;
    dropped.cancelled = &cancelled;
    EXPECT_EQ(decodePicture(bytesOf(plain), 1, dropped).error, "cancelled");
}

TEST(PictureDecodingTest, APictureIsHeldNoLargerThanItIsDrawnAndKeepsItsSizeInPoints)
{
    // Drawn 50 x 50 points at scale 2: 100 x 100 pixels cover it.
    PictureBounds cover{100, 100};
    for (const auto& bytes : {png(2000, 1000), progressiveJpeg(2000, 1000, 0)}) {
        auto decoded = decodePicture(bytesOf(bytes), 2, cover);
        ASSERT_TRUE(decoded.image) << decoded.error;
        EXPECT_GE(decoded.image->pixelWidth(), 200);
        EXPECT_GE(decoded.image->pixelHeight(), 100);
        EXPECT_LE(decoded.image->pixelHeight(), 130) << "an eighth of the way at most above what covers it";
        EXPECT_NEAR(decoded.image->size().width, 1000, 1);
        EXPECT_NEAR(decoded.image->size().height, 500, 1);
    }
    // A smaller picture is not blown up.
    auto small = decodePicture(bytesOf(png(40, 30)), 2, cover);
    ASSERT_TRUE(small.image);
    EXPECT_EQ(small.image->pixelWidth(), 40);

    // Past the caps nothing is decoded, whatever it would be drawn at.
    EXPECT_EQ(decodePicture(bytesOf(png(4097, 2)), 2, cover).error, "the picture is 4097x2 pixels");
    EXPECT_EQ(decodePicture(bytesOf(std::string("GIF89a")), 2, cover).error, "not a PNG or JPEG picture");
}

TEST(PictureLoaderTest, ViewsOfOnePictureShareOneDecodingOffTheMainThread)
{
    test::TempDir dir;
    auto bytes = png(300, 200);
    for (const char* name : {"a.png", "b.png"})
        ASSERT_FALSE(writeFileAtomically(dir / name, bytes));
    PictureBounds cover{60, 40};
    std::vector<std::shared_ptr<Image>> got;
    std::vector<std::shared_ptr<PictureLoader::Ticket>> tickets;
    for (int i = 0; i < 60; ++i)
        tickets.push_back(PictureLoader::loadFile(dir / (i % 2 ? "a.png" : "b.png"), 2, cover,
                                                  [&](const DecodedPicture& p) { got.push_back(p.image); }));
    EXPECT_TRUE(got.empty()) << "never inside the call";
    ASSERT_TRUE(RunLoop::main().runUntil([] { return PictureLoader::pendingCount() == 0; }, 20));
    ASSERT_EQ(got.size(), 60u);
    // Two files holding one picture: one copy in memory.
    for (const auto& image : got)
        EXPECT_EQ(image, got.front());
    EXPECT_EQ(PictureLoader::cached(dir / "a.png", 2, cover), got.front());

    // A load nobody waits for any more tells nobody.
    bool told = false;
    auto dropped = PictureLoader::loadFile(dir / "c.png", 2, cover, [&](const DecodedPicture&) { told = true; });
    dropped.reset();
    ASSERT_TRUE(RunLoop::main().runUntil([] { return PictureLoader::pendingCount() == 0; }, 20));
    EXPECT_FALSE(told);
}
