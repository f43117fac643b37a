#include "main/ScreenTexture.h"

#include "main/ScreenGeometry.h"
#include "main/SdlLibrary.h"

#include "graphics/Image.h"
#include "graphics/Screen.h"
#include "ui/Renderer.h"

#include <cairo.h>
#include <fmt/format.h>

namespace vq {

std::optional<std::string> ScreenTexture::update(double scale)
{
    auto image = renderWindows(screen_geometry::windowsBackToFront(), Screen::main().bounds().size, scale);
    if (!image)
        return std::string("the screen could not be rendered");
    cairo_surface_t* surface = image->surface();
    int width = cairo_image_surface_get_width(surface);
    int height = cairo_image_surface_get_height(surface);
    if (!_texture || width != _width || height != _height) {
        // Cairo's ARGB32 is a native-endian 32-bit word, as SDL's ARGB8888.
        _texture.reset(sdlLibrary()->createTexture(_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height));
        if (!_texture)
            return fmt::format("cannot create a texture: {}", sdlError());
        _width = width;
        _height = height;
    }
    if (sdlLibrary()->updateTexture(_texture.get(), nullptr, cairo_image_surface_get_data(surface),
                          cairo_image_surface_get_stride(surface)) != 0)
        return fmt::format("cannot upload the screen: {}", sdlError());
    return std::nullopt;
}

} // namespace vq
