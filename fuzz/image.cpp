// Pictures come from the network (promotion icons, banners, store icons):
// PNG and JPEG bytes must decode, within their bounds, to a usable image no
// larger than asked, or to nothing with a reason.
#include "Check.h"

#include "graphics/PictureDecoding.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Drawn as an icon (114 pixels a side) and at its own size.
    for (int side : {114, 0}) {
        auto decoded = vq::decodePicture(std::span(data, size), 2, vq::PictureBounds{side, side});
        if (!decoded.image) {
            require(!decoded.error.empty(), "a picture refused without a reason");
            continue;
        }
        auto& image = *decoded.image;
        require(image.pixelWidth() > 0 && image.pixelHeight() > 0, "an image without pixels");
        if (side == 0) {
            // What decodes whole at its own size, its header sizes alike without decoding.
            auto header = vq::pictureHeaderSize(std::span(data, size));
            require(header && header->first == image.pixelWidth() && header->second == image.pixelHeight(),
                    "a header that sizes a picture otherwise than its decoding");
        }
        require(image.pixelWidth() <= vq::Image::kMaxFetchedSide && image.pixelHeight() <= vq::Image::kMaxFetchedSide,
                "an image past the caps");
        // Every pixel is readable, the far corner included.
        (void)image.pixelAt(image.pixelWidth() - 1, image.pixelHeight() - 1);
    }
    return 0;
}
