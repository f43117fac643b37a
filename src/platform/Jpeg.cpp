#include "platform/Image.h"

#include <cairo.h>
#include <turbojpeg.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace vq {

namespace {

// One compressor for the process, kept between pictures (creating one costs
// more than encoding a small picture).
tjhandle compressor()
{
    thread_local struct Handle {
        tjhandle tj = tjInitCompress();
        ~Handle()
        {
            if (tj)
                tjDestroy(tj);
        }
    } handle;
    return handle.tj;
}

} // namespace

std::vector<std::uint8_t> jpegRepresentation(const Image& image, double quality)
{
    cairo_surface_t* surface = image.surface();
    int w = image.pixelWidth(), h = image.pixelHeight();
    tjhandle tj = compressor();
    if (!surface || w <= 0 || h <= 0 || !tj)
        return {};
    cairo_surface_flush(surface);
    int q = static_cast<int>(std::lround(std::clamp(std::isnan(quality) ? 1.0 : quality, 0.0, 1.0) * 100));
    q = std::max(1, q); // libjpeg's lowest quality
    // Premultiplied pixels read as BGRX: transparent areas come out black, as
    // they do when a picture with alpha is flattened for JPEG.
    int format = std::endian::native == std::endian::little ? TJPF_BGRX : TJPF_XRGB;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    int rc = tjCompress2(tj, cairo_image_surface_get_data(surface), w, cairo_image_surface_get_stride(surface), h, format,
                         &out, &size, TJSAMP_444, q, 0);
    std::vector<std::uint8_t> bytes;
    if (rc == 0 && out)
        bytes.assign(out, out + size);
    tjFree(out);
    return bytes;
}

} // namespace vq
