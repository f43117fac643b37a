#include "main/SdlLibrary.h"

#include "core/SharedLibrary.h"

namespace vq {

namespace {

constexpr const char* kSoname = "libSDL2-2.0.so.0";

struct Loaded {
    SdlLibrary functions;
    std::string error;
    bool ok = false;
};

Loaded load()
{
    Loaded loaded;
    auto sdl = SharedLibrary::open(kSoname);
#define VQ_SDL_RESOLVE(member, symbol) &&sdl.resolve(#symbol, loaded.functions.member)
    loaded.ok = sdl.loaded() VQ_SDL_FUNCTIONS(VQ_SDL_RESOLVE);
#undef VQ_SDL_RESOLVE
    loaded.error = sdl.error();
    return loaded;
}

const Loaded& loaded()
{
    static const Loaded instance = load();
    return instance;
}

} // namespace

const SdlLibrary* sdlLibrary() { return loaded().ok ? &loaded().functions : nullptr; }

std::string sdlLoadError() { return loaded().error; }

std::string sdlError()
{
    if (auto* sdl = sdlLibrary())
        return sdl->getError();
    return sdlLoadError();
}

} // namespace vq
