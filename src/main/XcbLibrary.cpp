#include "main/XcbLibrary.h"

#include "core/SharedLibrary.h"

namespace vq {

namespace {

struct Loaded {
    XcbLibrary functions;
    std::string error;
    bool ok = false;
};

Loaded load()
{
    Loaded loaded;
    auto xcb = SharedLibrary::open("libxcb.so.1");
#define VQ_XCB_RESOLVE(member, symbol) &&xcb.resolve(#symbol, loaded.functions.member)
    loaded.ok = xcb.loaded() VQ_XCB_FUNCTIONS(VQ_XCB_RESOLVE);
#undef VQ_XCB_RESOLVE
    loaded.error = xcb.error();
    return loaded;
}

const Loaded& loaded()
{
    static const Loaded instance = load();
    return instance;
}

} // namespace

const XcbLibrary* xcbLibrary() { return loaded().ok ? &loaded().functions : nullptr; }

std::string xcbLoadError() { return loaded().error; }

} // namespace vq
