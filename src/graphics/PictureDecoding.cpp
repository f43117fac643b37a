#include "graphics/PictureDecoding.h"

#include "graphics/CairoOwners.h"
#include "graphics/JpegErrors.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vq {

jpeg_error_mgr* JpegErrors::install()
{
    jpeg_std_error(&manager);
    manager.error_exit = [](j_common_ptr info) {
        auto* errors = reinterpret_cast<JpegErrors*>(info->err);
        if (!errors->stopped)
            (*info->err->format_message)(info, errors->message);
        std::longjmp(errors->jump, 1);
    };
    manager.output_message = [](j_common_ptr) {};
    return &manager;
}

void stopJpeg(j_common_ptr info, const char* why)
{
    reinterpret_cast<JpegErrors*>(info->err)->stopped = why;
    (*info->err->error_exit)(info);
    std::abort(); // error_exit never returns
}

namespace {

using Clock = std::chrono::steady_clock;

struct Watch {
    Clock::time_point deadline;
    int maxScans = 0;
    const std::atomic<bool>* cancelled = nullptr;

    // Why decoding must stop now, or nullptr.
    const char* stop(int scans = 0) const
    {
        if (cancelled && cancelled->load(std::memory_order_relaxed))
            return "cancelled";
        if (maxScans > 0 && scans > maxScans)
            return "too many scans";
        if (Clock::now() > deadline)
            return "it takes too long to decode";
        return nullptr;
    }
};

bool fits(const PictureBounds& bounds, std::int64_t w, std::int64_t h)
{
    return w > 0 && h > 0 && w <= bounds.maxSide && h <= bounds.maxSide && w <= bounds.maxPixels / h;
}

// ---- JPEG, through libjpeg: its progress hook is where scans and time are counted ----

struct JpegProgress {
    jpeg_progress_mgr manager;
    const Watch* watch = nullptr;
};

void jpegProgress(j_common_ptr info)
{
    auto* progress = reinterpret_cast<JpegProgress*>(info->progress);
    int scans = info->is_decompressor ? reinterpret_cast<j_decompress_ptr>(info)->input_scan_number : 0;
    if (const char* why = progress->watch->stop(scans))
        stopJpeg(info, why);
}

// The surface decoded at scale num/8, the smallest that still covers the
// bounds, or nullptr with why. Nothing with a destructor lives past setjmp.
cairo_surface_t* decodeJpeg(std::span<const std::uint8_t> data, const PictureBounds& bounds, const Watch& watch,
                            int& width, int& height, std::string& why)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    JpegProgress progress;
    cairo_surface_t* volatile surface = nullptr;
    info.err = errors.install();
    progress.manager.progress_monitor = jpegProgress;
    progress.watch = &watch;
    if (setjmp(errors.jump)) {
        why = errors.stopped ? errors.stopped : errors.message;
        jpeg_destroy_decompress(&info);
        if (surface)
            cairo_surface_destroy(surface);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress.manager;
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    if (!fits(bounds, width, height)) {
        std::snprintf(errors.message, sizeof errors.message, "the picture is %dx%d pixels", width, height);
        why = errors.message;
        jpeg_destroy_decompress(&info);
        return nullptr;
    }
    // The decoder's own scaling: eighths, the fewest that still cover the bounds.
    unsigned num = 8;
    if (bounds.coverWidth > 0 && bounds.coverHeight > 0)
        while (num > 1 && (info.image_width * (num - 1) + 7) / 8 >= static_cast<unsigned>(bounds.coverWidth) &&
               (info.image_height * (num - 1) + 7) / 8 >= static_cast<unsigned>(bounds.coverHeight))
            --num;
    info.scale_num = num;
    info.scale_denom = 8;
    info.dct_method = JDCT_ISLOW;
    info.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    jpeg_start_decompress(&info);
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(info.output_width),
                                         static_cast<int>(info.output_height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        stopJpeg(reinterpret_cast<j_common_ptr>(&info), "no memory for the picture");
    cairo_surface_flush(surface);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + static_cast<std::ptrdiff_t>(info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    // Alpha comes out as 0xff, so the pixels are valid premultiplied ones. A truncated
    // file only warns: what was there is the picture.
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    cairo_surface_mark_dirty(surface);
    return surface;
}

// ---- PNG, through cairo: reading the bytes is where time is checked ----

struct PngReader {
    std::span<const std::uint8_t> data;
    std::size_t offset = 0;
    const Watch* watch = nullptr;
    const char* stopped = nullptr;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* r = static_cast<PngReader*>(closure);
    if (const char* why = r->watch->stop()) {
        r->stopped = why;
        return CAIRO_STATUS_READ_ERROR;
    }
    if (r->data.size() - r->offset < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data.data() + r->offset, length);
    r->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The decoder asks for the memory a header or a chunk announces before it
// reads it: only a PNG whose chunks all lie inside the data, up to the end
// chunk, goes on to be decoded.
bool pngChunksAreSound(std::span<const std::uint8_t> data)
{
    constexpr std::size_t kSignature = 8, kChunkFrame = 12; // length, type, CRC
    std::size_t at = kSignature;
    while (data.size() - at >= kChunkFrame) {
        std::uint32_t length = bigEndian32(data.data() + at);
        if (length > data.size() - at - kChunkFrame)
            return false;
        if (std::memcmp(data.data() + at + 4, "IEND", 4) == 0)
            return true;
        at += kChunkFrame + length;
    }
    return false;
}

CairoSurface decodePng(std::span<const std::uint8_t> data, const PictureBounds& bounds, const Watch& watch,
                       int& width, int& height, std::string& why)
{
    if (data.size() < 33 || std::memcmp(data.data() + 12, "IHDR", 4) != 0) {
        why = "the PNG has no header";
        return nullptr;
    }
    std::uint32_t w = bigEndian32(data.data() + 16), h = bigEndian32(data.data() + 20);
    width = static_cast<int>(std::min<std::uint32_t>(w, 0x7fffffff));
    height = static_cast<int>(std::min<std::uint32_t>(h, 0x7fffffff));
    if (!fits(bounds, w, h)) {
        why = fmt::format("the picture is {}x{} pixels", w, h);
        return nullptr;
    }
    if (!pngChunksAreSound(data)) {
        why = "the PNG is cut short or malformed";
        return nullptr;
    }
    PngReader reader{data, 0, &watch};
    CairoSurface s(cairo_image_surface_create_from_png_stream(readPng, &reader));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) {
        why = reader.stopped ? reader.stopped : "the PNG does not decode";
        return nullptr;
    }
    return s; // opaque ones are RGB24 until the image makes them ARGB32
}

// Scaled down to the smallest size that covers the bounds, keeping its shape.
CairoSurface scaledToCover(CairoSurface s, const PictureBounds& bounds)
{
    int w = cairo_image_surface_get_width(s.get()), h = cairo_image_surface_get_height(s.get());
    if (bounds.coverWidth <= 0 || bounds.coverHeight <= 0 || w <= 0 || h <= 0)
        return s;
    double factor = std::max(double(bounds.coverWidth) / w, double(bounds.coverHeight) / h);
    if (factor >= 1)
        return s;
    int sw = std::max(1, static_cast<int>(std::ceil(w * factor))), sh = std::max(1, static_cast<int>(std::ceil(h * factor)));
    CairoSurface small(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, sw, sh));
    if (cairo_surface_status(small.get()) != CAIRO_STATUS_SUCCESS)
        return s;
    CairoContext cr(cairo_create(small.get()));
    cairo_scale(cr.get(), double(sw) / w, double(sh) / h);
    cairo_set_source_surface(cr.get(), s.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    return small;
}

} // namespace

bool isPngData(std::span<const std::uint8_t> d)
{
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return d.size() >= 8 && std::memcmp(d.data(), sig, 8) == 0;
}

bool isJpegData(std::span<const std::uint8_t> d) { return d.size() >= 3 && d[0] == 0xff && d[1] == 0xd8 && d[2] == 0xff; }

namespace {

// Nothing with a destructor lives past setjmp.
bool readJpegHeader(std::span<const std::uint8_t> data, int& width, int& height)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = errors.install();
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

std::optional<std::pair<int, int>> pictureHeaderSize(std::span<const std::uint8_t> d)
{
    if (isPngData(d)) {
        if (d.size() < 24 || std::memcmp(d.data() + 12, "IHDR", 4) != 0)
            return std::nullopt;
        auto be32 = [&](std::size_t at) {
            return (std::uint32_t(d[at]) << 24) | (std::uint32_t(d[at + 1]) << 16) | (std::uint32_t(d[at + 2]) << 8) |
                   d[at + 3];
        };
        std::uint32_t w = be32(16), h = be32(20);
        if (w == 0 || h == 0 || w > 0x7fffffff || h > 0x7fffffff)
            return std::nullopt;
        return std::pair<int, int>(static_cast<int>(w), static_cast<int>(h));
    }
    int width = 0, height = 0;
    if (isJpegData(d) && readJpegHeader(d, width, height) && width > 0 && height > 0)
        return std::pair(width, height);
    return std::nullopt;
}

DecodedPicture decodePicture(std::span<const std::uint8_t> bytes, double scale, const PictureBounds& bounds)
{
    if (bytes.size() > bounds.maxBytes)
        return {nullptr, fmt::format("the picture is larger than {} bytes", bounds.maxBytes)};
    Watch watch{Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bounds.seconds)),
                bounds.maxScans, bounds.cancelled};
    int width = 0, height = 0;
    std::string why;
    CairoSurface surface;
    if (isPngData(bytes))
        surface = decodePng(bytes, bounds, watch, width, height, why);
    else if (isJpegData(bytes))
        surface.reset(decodeJpeg(bytes, bounds, watch, width, height, why));
    else
        return {nullptr, "not a PNG or JPEG picture"};
    if (!surface)
        return {nullptr, why};
    surface = scaledToCover(std::move(surface), bounds);
    // The same size in points, in fewer pixels.
    double shown = scale * cairo_image_surface_get_width(surface.get()) / std::max(1, width);
    auto image = Image::fromSurface(surface.get(), shown > 0 ? shown : scale);
    if (!image)
        return {nullptr, "the picture does not decode"};
    return {std::move(image), {}};
}

} // namespace vq
