#include "net/CurlLibrary.h"

#include <dlfcn.h>

#include <atomic>

namespace vq {

namespace {

constexpr const char* kSoname = "libcurl.so.4";

std::atomic<bool> gLoaded{false};

struct Loaded {
    CurlLibrary functions;
    bool initialised = false;
    ~Loaded()
    {
        // The library itself stays mapped: handles may still be freed during exit.
        if (initialised)
            functions.globalCleanup();
    }
};

Loaded* load()
{
    void* handle = dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    gLoaded = true;
    static Loaded loaded;
#define VQ_CURL_RESOLVE(member, symbol)                                                                             \
    loaded.functions.member = reinterpret_cast<decltype(loaded.functions.member)>(dlsym(handle, #symbol));          \
    if (!loaded.functions.member)                                                                                   \
        return nullptr;
    VQ_CURL_FUNCTIONS(VQ_CURL_RESOLVE)
#undef VQ_CURL_RESOLVE
    if (loaded.functions.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return nullptr;
    loaded.initialised = true;
    return &loaded;
}

} // namespace

const CurlLibrary* curlLibrary()
{
    static Loaded* loaded = load();
    return loaded ? &loaded->functions : nullptr;
}

bool curlLibraryLoaded() { return gLoaded; }

} // namespace vq
