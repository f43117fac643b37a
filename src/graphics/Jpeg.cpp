#include "graphics/Image.h"
#include "graphics/JpegErrors.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace vq {

// Encoding goes through the same libjpeg the decoder uses, so a process maps one JPEG
// library, not two.

namespace {

// Kept between pictures, big enough for the worst case of the last one (up to a cap):
// growing the output while encoding, on fresh pages each time, cost as much as the
// encoding. Left uninitialised, so only the pages written are ever touched.
struct OutputBuffer {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
};

OutputBuffer& outputBuffer(int w, int h)
{
    constexpr std::size_t kMaxKept = std::size_t{8} << 20;
    thread_local OutputBuffer buffer;
    // 4:4:4 never takes more than six bytes a pixel, whole 8 x 8 blocks counted.
    std::size_t worst = std::size_t((w + 7) / 8 * 8) * std::size_t((h + 7) / 8 * 8) * 6 + 2048;
    std::size_t want = std::min(worst, kMaxKept);
    if (buffer.size < want) {
        buffer.bytes.reset(new unsigned char[want]);
        buffer.size = want;
    }
    return buffer;
}

// Hands the encoder its rows in order, from a whole image or a band redrawn as it goes.
using RowAt = std::function<const unsigned char*(int row)>;

// Premultiplied pixels read as BGRX: transparent areas come out black, as they do when
// a picture with alpha is flattened for JPEG. Nothing with a destructor lives past setjmp.
bool encode(const RowAt& rowAt, int w, int h, int quality, unsigned char** out, unsigned long* size)
{
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = errors.install();
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = static_cast<JDIMENSION>(w);
    info.image_height = static_cast<JDIMENSION>(h);
    info.input_components = 4;
    info.in_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // The exact transform where it shows (quality 96 and up), the fast one below.
    info.dct_method = quality >= 96 ? JDCT_ISLOW : JDCT_FASTEST;
    jpeg_set_colorspace(&info, JCS_YCbCr);
    // 4:4:4: the colour of thin letters is kept at full resolution.
    for (int i = 0; i < info.num_components; ++i) {
        info.comp_info[i].h_samp_factor = 1;
        info.comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    try {
        while (info.next_scanline < info.image_height) {
            auto row = const_cast<JSAMPROW>(rowAt(static_cast<int>(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
    } catch (...) {
        jpeg_destroy_compress(&info);
        throw;
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

int qualityPercent(double quality)
{
    int q = static_cast<int>(std::lround(std::clamp(std::isnan(quality) ? 1.0 : quality, 0.0, 1.0) * 100));
    return std::max(1, q); // libjpeg's lowest quality
}

std::vector<std::uint8_t> encodeRows(const RowAt& rowAt, int w, int h, double quality)
{
    auto& kept = outputBuffer(w, h);
    // libjpeg writes into the kept buffer and moves to one of its own only when that is full.
    unsigned char* out = kept.bytes.get();
    unsigned long size = static_cast<unsigned long>(kept.size);
    bool done = encode(rowAt, w, h, qualityPercent(quality), &out, &size);
    std::vector<std::uint8_t> bytes;
    if (done && out)
        bytes.assign(out, out + size);
    if (out != kept.bytes.get())
        std::free(out);
    return bytes;
}

bool encodable(int w, int h) { return w > 0 && h > 0 && w <= JPEG_MAX_DIMENSION && h <= JPEG_MAX_DIMENSION; }

} // namespace

std::vector<std::uint8_t> jpegRepresentation(const Image& image, double quality)
{
    cairo_surface_t* surface = image.surface();
    int w = image.pixelWidth(), h = image.pixelHeight();
    if (!surface || !encodable(w, h))
        return {};
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    return encodeRows([&](int row) { return data + static_cast<std::ptrdiff_t>(row) * stride; }, w, h, quality);
}

std::vector<std::uint8_t> jpegFromBands(int pixelWidth, int pixelHeight, double quality, const BandPainter& paint)
{
    if (!encodable(pixelWidth, pixelHeight))
        return {};
    // About 64 KiB of pixels a band: a few pages, drawn over again for each band.
    constexpr int kBandBytes = 64 << 10;
    int rows = std::min(std::max(kBandBytes / (pixelWidth * 4), 8), pixelHeight);
    auto band = Image::blank(pixelWidth, rows, 1);
    if (!band)
        return {};
    cairo_surface_t* surface = band->surface();
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int first = -rows; // the picture's row at the band's top
    return encodeRows(
        [&](int row) {
            if (row >= first + rows) {
                first = row;
                cairo_surface_flush(surface);
                std::memset(data, 0, static_cast<std::size_t>(stride) * rows);
                cairo_surface_mark_dirty(surface);
                paint(*band, first);
                cairo_surface_flush(surface);
            }
            return data + static_cast<std::ptrdiff_t>(row - first) * stride;
        },
        pixelWidth, pixelHeight, quality);
}

} // namespace vq
