#include "main/SdlOwners.h"

#include <SDL.h>

namespace vq {

void SdlRelease::operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
void SdlRelease::operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }
void SdlRelease::operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
void SdlRelease::operator()(char* text) const { SDL_free(text); }

SdlVideo::SdlVideo() : _started(SDL_Init(SDL_INIT_VIDEO) == 0) {}

SdlVideo::~SdlVideo()
{
    if (_started)
        SDL_Quit();
}

} // namespace vq
