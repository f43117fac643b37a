#include "main/SdlOwners.h"

#include "main/SdlLibrary.h"

namespace vq {

// Only what SDL made is released, so the library is loaded by then.
void SdlRelease::operator()(SDL_Window* window) const { sdlLibrary()->destroyWindow(window); }
void SdlRelease::operator()(SDL_Renderer* renderer) const { sdlLibrary()->destroyRenderer(renderer); }
void SdlRelease::operator()(SDL_Texture* texture) const { sdlLibrary()->destroyTexture(texture); }
void SdlRelease::operator()(char* text) const { sdlLibrary()->free(text); }

SdlVideo::SdlVideo() : _started(sdlLibrary() && sdlLibrary()->init(SDL_INIT_VIDEO) == 0) {}

SdlVideo::~SdlVideo()
{
    if (_started)
        sdlLibrary()->quit();
}

} // namespace vq
