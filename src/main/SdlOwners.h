#pragma once

#include <memory>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

namespace vq {

// Releases what SDL made; SDL itself stays out of the headers.
struct SdlRelease {
    void operator()(SDL_Window* window) const;
    void operator()(SDL_Renderer* renderer) const;
    void operator()(SDL_Texture* texture) const;
    void operator()(char* text) const; // text SDL allocated, e.g. the clipboard's
};

using SdlWindow = std::unique_ptr<SDL_Window, SdlRelease>;
using SdlRenderer = std::unique_ptr<SDL_Renderer, SdlRelease>;
using SdlTexture = std::unique_ptr<SDL_Texture, SdlRelease>;
using SdlText = std::unique_ptr<char, SdlRelease>;

// SDL's video subsystem for the owner's lifetime: quit only if it started.
class SdlVideo {
public:
    SdlVideo();
    ~SdlVideo();
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;

    bool started() const { return _started; }

private:
    bool _started;
};

} // namespace vq
