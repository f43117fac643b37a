#include "graphics/Image.h"

#include <cairo.h>
#include <turbojpeg.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace vq {

namespace {

// One compressor per thread, kept between pictures with an output buffer
// big enough for the worst case: creating the compressor and growing the
// output while encoding cost more than encoding a small picture.
struct Compressor {
    tjhandle tj = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long capacity = 0;

    Compressor() = default;
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    ~Compressor()
    {
        tjFree(buffer);
        if (tj)
            tjDestroy(tj);
    }

    unsigned char* reserve(unsigned long size)
    {
        if (size > capacity) {
            tjFree(buffer);
            buffer = tjAlloc(static_cast<int>(size));
            capacity = buffer ? size : 0;
        }
        return buffer;
    }
};

Compressor& compressor()
{
    thread_local Compressor c;
    return c;
}

} // namespace

std::vector<std::uint8_t> jpegRepresentation(const Image& image, double quality)
{
    cairo_surface_t* surface = image.surface();
    int w = image.pixelWidth(), h = image.pixelHeight();
    Compressor& c = compressor();
    if (!surface || w <= 0 || h <= 0 || !c.tj)
        return {};
    cairo_surface_flush(surface);
    int q = static_cast<int>(std::lround(std::clamp(std::isnan(quality) ? 1.0 : quality, 0.0, 1.0) * 100));
    q = std::max(1, q); // libjpeg's lowest quality
    // Premultiplied pixels read as BGRX: transparent areas come out black, as
    // they do when a picture with alpha is flattened for JPEG.
    int format = std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
    unsigned long size = tjBufSize(w, h, TJSAMP_444);
    if (size == static_cast<unsigned long>(-1) || size > static_cast<unsigned long>(INT_MAX))
        return {};
    unsigned char* out = c.reserve(size);
    if (!out)
        return {};
    int rc = tjCompress2(c.tj, cairo_image_surface_get_data(surface), w, cairo_image_surface_get_stride(surface), h, format,
                         &out, &size, TJSAMP_444, q, TJFLAG_NOREALLOC);
    std::vector<std::uint8_t> bytes;
    if (rc == 0)
        bytes.assign(out, out + size);
    return bytes;
}

} // namespace vq
