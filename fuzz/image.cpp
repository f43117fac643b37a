// Pictures come from the network (promotion icons and banners): PNG and JPEG
// bytes must decode to a usable image or to nothing.
#include "Check.h"

#include "platform/Image.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto image = vq::Image::imageWithData(std::span(data, size), 2);
    if (!image)
        return 0;
    require(image->pixelWidth() > 0 && image->pixelHeight() > 0, "an image without pixels");
    // Every pixel is readable, the far corner included.
    (void)image->pixelAt(image->pixelWidth() - 1, image->pixelHeight() - 1);
    return 0;
}
