#pragma once

#include "graphics/Image.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <string>

namespace vq {

// How far decoding a picture from outside may go. A few hundred bytes can
// describe a picture that takes minutes to decode (a progressive JPEG that
// repeats one scan thousands of times) or gigabytes to hold, so every picture
// fetched from a server is decoded under these bounds, off the main thread.
struct PictureBounds {
    // The pixels it is drawn in at most: it is decoded (or scaled down) to the
    // smallest size that still covers them. 0 keeps its own size.
    int coverWidth = 0;
    int coverHeight = 0;
    double seconds = 2.0;
    // A progressive JPEG shows in ten or so scans; hostile ones repeat one endlessly.
    int maxScans = 64;
    // Checked as it goes; set, the decoding stops.
    const std::atomic<bool>* cancelled = nullptr;
    // Larger pictures are refused before any memory is taken for them.
    std::size_t maxBytes = Image::kMaxFetchedBytes;
    int maxSide = Image::kMaxFetchedSide;
    std::int64_t maxPixels = Image::kMaxFetchedPixels;
};

struct DecodedPicture {
    std::shared_ptr<Image> image; // nullptr when it failed
    std::string error;            // why, when it failed
};

// Whether the bytes begin as a PNG or a JPEG file does.
bool isPngData(std::span<const std::uint8_t> bytes);
bool isJpegData(std::span<const std::uint8_t> bytes);

// Width and height in pixels as a PNG or JPEG header gives them, nothing decoded;
// nullopt when the bytes start as neither or the header does not read.
std::optional<std::pair<int, int>> pictureHeaderSize(std::span<const std::uint8_t> bytes);

// PNG or JPEG bytes within the bounds (by default the fetched-picture caps,
// Image::kMaxFetched...). The image keeps its size in points (pixels / scale) however
// far it was scaled down. Any thread.
DecodedPicture decodePicture(std::span<const std::uint8_t> bytes, double scale, const PictureBounds& bounds);

} // namespace vq
