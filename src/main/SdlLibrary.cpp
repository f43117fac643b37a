#include "main/SdlLibrary.h"

#include <dlfcn.h>

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
    // Never closed: SDL's exit handlers and its threads may outlive our last call.
    void* handle = dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        loaded.error = why ? why : "cannot load " + std::string(kSoname);
        return loaded;
    }
#define VQ_SDL_RESOLVE(member, symbol)                                                                              \
    loaded.functions.member = reinterpret_cast<decltype(loaded.functions.member)>(dlsym(handle, #symbol));          \
    if (!loaded.functions.member) {                                                                                 \
        loaded.error = std::string(kSoname) + " has no " #symbol;                                                   \
        return loaded;                                                                                              \
    }
    VQ_SDL_FUNCTIONS(VQ_SDL_RESOLVE)
#undef VQ_SDL_RESOLVE
    loaded.ok = true;
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
