#pragma once

#include <SDL.h>

#include <string>

namespace vq {

// SDL2's entry points, loaded when a window is about to open instead of at process
// start: with its display, audio and input libraries it is half of what the loader
// maps, and a headless run or the card never opens a window.
#define VQ_SDL_FUNCTIONS(X)                                                                                         \
    X(init, SDL_Init)                                                                                               \
    X(quit, SDL_Quit)                                                                                               \
    X(getError, SDL_GetError)                                                                                       \
    X(setHint, SDL_SetHint)                                                                                         \
    X(free, SDL_free)                                                                                               \
    X(registerEvents, SDL_RegisterEvents)                                                                           \
    X(pushEvent, SDL_PushEvent)                                                                                     \
    X(pollEvent, SDL_PollEvent)                                                                                     \
    X(waitEvent, SDL_WaitEvent)                                                                                     \
    X(waitEventTimeout, SDL_WaitEventTimeout)                                                                       \
    X(createWindow, SDL_CreateWindow)                                                                               \
    X(destroyWindow, SDL_DestroyWindow)                                                                             \
    X(createRenderer, SDL_CreateRenderer)                                                                           \
    X(destroyRenderer, SDL_DestroyRenderer)                                                                         \
    X(renderClear, SDL_RenderClear)                                                                                 \
    X(renderCopy, SDL_RenderCopy)                                                                                   \
    X(renderPresent, SDL_RenderPresent)                                                                             \
    X(createTexture, SDL_CreateTexture)                                                                             \
    X(destroyTexture, SDL_DestroyTexture)                                                                           \
    X(updateTexture, SDL_UpdateTexture)                                                                             \
    X(getMouseState, SDL_GetMouseState)                                                                             \
    X(startTextInput, SDL_StartTextInput)                                                                           \
    X(stopTextInput, SDL_StopTextInput)                                                                             \
    X(hasClipboardText, SDL_HasClipboardText)                                                                       \
    X(getClipboardText, SDL_GetClipboardText)

struct SdlLibrary {
#define VQ_SDL_MEMBER(member, symbol) decltype(&::symbol) member = nullptr;
    VQ_SDL_FUNCTIONS(VQ_SDL_MEMBER)
#undef VQ_SDL_MEMBER
};

// Loads SDL2 once per process; nullptr when it cannot be loaded, with the reason in
// sdlLoadError(). Initialising a subsystem stays with the caller (SdlVideo).
const SdlLibrary* sdlLibrary();
std::string sdlLoadError();

// SDL's own message for the last failure, or why SDL could not be loaded.
std::string sdlError();

} // namespace vq
