#pragma once

#include "main/SdlOwners.h"

#include <optional>
#include <string>

namespace vq {

// The app's windows as one SDL texture: drawn by the screenshot renderer at
// the given scale, then uploaded. The texture is kept between frames.
class ScreenTexture {
public:
    explicit ScreenTexture(SDL_Renderer* renderer) : _renderer(renderer) {}

    // Draws the screen as it is now; a message when it cannot.
    std::optional<std::string> update(double scale);
    SDL_Texture* texture() const { return _texture.get(); }

private:
    SDL_Renderer* _renderer;
    SdlTexture _texture;
    int _width = 0;
    int _height = 0;
};

} // namespace vq
