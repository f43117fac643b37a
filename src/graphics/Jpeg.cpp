#include "graphics/Image.h"
#include "graphics/JpegErrors.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
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

// Premultiplied pixels read as BGRX: transparent areas come out black, as they do when
// a picture with alpha is flattened for JPEG. Nothing with a destructor lives past setjmp.
bool encode(cairo_surface_t* surface, int w, int h, int quality, unsigned char** out, unsigned long* size)
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
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = data + static_cast<std::ptrdiff_t>(info.next_scanline) * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::vector<std::uint8_t> jpegRepresentation(const Image& image, double quality)
{
    cairo_surface_t* surface = image.surface();
    int w = image.pixelWidth(), h = image.pixelHeight();
    if (!surface || w <= 0 || h <= 0 || w > JPEG_MAX_DIMENSION || h > JPEG_MAX_DIMENSION)
        return {};
    cairo_surface_flush(surface);
    int q = static_cast<int>(std::lround(std::clamp(std::isnan(quality) ? 1.0 : quality, 0.0, 1.0) * 100));
    q = std::max(1, q); // libjpeg's lowest quality
    auto& kept = outputBuffer(w, h);
    // libjpeg writes into the kept buffer and moves to one of its own only when that is full.
    unsigned char* out = kept.bytes.get();
    unsigned long size = static_cast<unsigned long>(kept.size);
    bool done = encode(surface, w, h, q, &out, &size);
    std::vector<std::uint8_t> bytes;
    if (done && out)
        bytes.assign(out, out + size);
    if (out != kept.bytes.get())
        std::free(out);
    return bytes;
}

} // namespace vq
