#pragma once

#include "core/Durability.h"
#include "core/Geometry.h"
#include "graphics/Color.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

namespace vq {

// A bitmap with a scale: its size in points is its pixel size divided by the scale.
class Image {
public:
    // The resource "name" (".png" or ".jpg"), preferring "name@2x" on a scale-2 screen.
    // A missing resource gives nullptr and logs its name once. The file is read when the
    // image is first measured or drawn, and decoded once however many names lead to it;
    // one that does not decode then logs so and stays empty.
    static std::shared_ptr<Image> imageNamed(const std::string& name);
    // Decoded pictures are held whole in memory: more pixels than this
    // (4096 x 4096, 64 MiB) are refused before any memory is taken for them.
    static constexpr std::int64_t kMaxDecodedPixels = std::int64_t{4096} * 4096;
    // PNG or JPEG bytes; nullptr when they do not decode or are too large.
    static std::shared_ptr<Image> imageWithData(std::span<const std::uint8_t> data, double scale = 1);
    // The same, its size read from the header and its pixels decoded when first needed
    // (a picture that may never be drawn); nullptr when the header does not read. Bytes
    // that then fail to decode log so and leave the image empty.
    static std::shared_ptr<Image> imageWithEncodedData(std::vector<std::uint8_t> data, double scale = 1);
    static std::shared_ptr<Image> imageWithContentsOfFile(const std::filesystem::path& path);
    // Pictures fetched from the network (promotion pictures, banners) are held to
    // these before anything is decoded (see PictureBounds): more bytes than
    // kMaxFetchedBytes, a side longer than kMaxFetchedSide or more pixels than
    // kMaxFetchedPixels (4096 x 2048 ARGB is 32 MB) are refused.
    static constexpr std::uintmax_t kMaxFetchedBytes = std::uintmax_t{32} << 20;
    static constexpr int kMaxFetchedSide = 4096;
    static constexpr std::int64_t kMaxFetchedPixels = std::int64_t{4096} * 2048;
    // Takes a reference on an ARGB32 surface.
    static std::shared_ptr<Image> fromSurface(cairo_surface_t* surface, double scale);
    // A new transparent image of that pixel size.
    static std::shared_ptr<Image> blank(int pixelWidth, int pixelHeight, double scale);
    static void clearNamedCache();

    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    Size size() const;
    double scale() const { return _scale; }
    int pixelWidth() const;
    int pixelHeight() const;
    // The resource name for named images, else empty.
    const std::string& name() const { return _name; }

    // Unpremultiplied colour of one pixel.
    Color pixelAt(int x, int y) const;
    std::vector<std::uint8_t> pngData() const;
    std::optional<std::string> writePng(const std::filesystem::path& path, Durability durability = Durability::Flushed) const;

    // Decodes a named image on first use; never null.
    cairo_surface_t* surface() const;
    // Whether the pixels are in memory (a named image not yet drawn is not).
    bool isDecoded() const;

    struct Source;

private:
    Image(std::shared_ptr<Source> source, double scale, std::string name);
    std::shared_ptr<Source> _source;
    double _scale;
    std::string _name;
};

// JPEG at quality 0..1 (mapped to 0..100), 4:4:4, through libjpeg-turbo.
std::vector<std::uint8_t> jpegRepresentation(const Image& image, double quality);
// The same for a picture drawn a band of rows at a time into one small image, used
// over: paint draws the picture's rows from firstRow on into band (transparent at each
// call, its top row the picture's firstRow). The whole bitmap is never in memory.
using BandPainter = std::function<void(Image& band, int firstRow)>;
std::vector<std::uint8_t> jpegFromBands(int pixelWidth, int pixelHeight, double quality, const BandPainter& paint);

} // namespace vq
