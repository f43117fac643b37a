#include "graphics/Image.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

using namespace vq;

namespace {

// Four coloured quadrants, so chroma subsampling would smear the edges.
std::shared_ptr<Image> quadrants(int size)
{
    auto image = Image::blank(size, size, 2);
    cairo_t* cr = cairo_create(image->surface());
    const Color colors[4] = {Color::redColor(), Color::blueColor(), Color::rgba(0, 0.8f, 0), Color::whiteColor()};
    for (int i = 0; i < 4; ++i) {
        cairo_set_source_rgb(cr, colors[i].r, colors[i].g, colors[i].b);
        cairo_rectangle(cr, (i % 2) * size / 2, (i / 2) * size / 2, size / 2, size / 2);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    return image;
}

struct Header {
    int width = 0, height = 0, subsampling = -1;
};

Header readHeader(const std::vector<std::uint8_t>& jpeg)
{
    Header h;
    int colorspace = 0;
    tjhandle tj = tjInitDecompress();
    tjDecompressHeader3(tj, const_cast<unsigned char*>(jpeg.data()), jpeg.size(), &h.width, &h.height, &h.subsampling,
                        &colorspace);
    tjDestroy(tj);
    return h;
}

} // namespace

TEST(JpegTest, EncodesFullChromaAndDecodesBackToCloseColours)
{
    auto image = quadrants(64);
    auto jpeg = jpegRepresentation(*image, 1.0);
    ASSERT_GT(jpeg.size(), 100u);
    Header h = readHeader(jpeg);
    EXPECT_EQ(h.width, 64);
    EXPECT_EQ(h.height, 64);
    EXPECT_EQ(h.subsampling, TJSAMP_444);

    auto back = Image::imageWithData(jpeg, 2);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->size(), image->size());
    // Right next to the quadrant edges too: 4:4:4 keeps colour at full resolution.
    for (auto [x, y] : {std::pair{1, 1}, std::pair{31, 31}, std::pair{32, 31}, std::pair{31, 32}, std::pair{60, 60}}) {
        Color a = image->pixelAt(x, y), b = back->pixelAt(x, y);
        EXPECT_NEAR(a.r, b.r, 0.06) << x << "," << y;
        EXPECT_NEAR(a.g, b.g, 0.06) << x << "," << y;
        EXPECT_NEAR(a.b, b.b, 0.06) << x << "," << y;
        EXPECT_EQ(b.a, 1);
    }
}

TEST(JpegTest, QualityMapsOntoSizeMonotonically)
{
    auto image = quadrants(128);
    // Some noise, so the quality has detail to spend bytes on.
    cairo_t* cr = cairo_create(image->surface());
    for (int i = 0; i < 400; ++i) {
        cairo_set_source_rgb(cr, (i * 37 % 255) / 255.0, (i * 91 % 255) / 255.0, (i * 13 % 255) / 255.0);
        cairo_rectangle(cr, i * 7 % 128, i * 11 % 128, 3, 2);
        cairo_fill(cr);
    }
    cairo_destroy(cr);

    auto low = jpegRepresentation(*image, 0.1);
    auto mid = jpegRepresentation(*image, 0.5);
    auto high = jpegRepresentation(*image, 1.0);
    EXPECT_LT(low.size(), mid.size());
    EXPECT_LT(mid.size(), high.size());
    // Out-of-range qualities clamp to the ends of the scale.
    EXPECT_EQ(jpegRepresentation(*image, 7.0), high);
    EXPECT_EQ(jpegRepresentation(*image, -1.0), jpegRepresentation(*image, 0.0));
    EXPECT_TRUE(jpegRepresentation(*Image::blank(0, 0, 1), 1).empty());
}
