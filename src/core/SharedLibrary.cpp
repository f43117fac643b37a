#include "core/SharedLibrary.h"

#include <dlfcn.h>

namespace vq {

SharedLibrary SharedLibrary::open(const char* soname, int extraFlags)
{
    SharedLibrary library;
    library._soname = soname;
    library._handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL | extraFlags);
    if (!library._handle) {
        const char* why = dlerror();
        library._error = why ? why : "cannot load " + library._soname;
    }
    return library;
}

void* SharedLibrary::address(const char* symbol)
{
    void* found = _handle ? dlsym(_handle, symbol) : nullptr;
    if (!found && _handle)
        _error = _soname + " has no " + symbol;
    return found;
}

} // namespace vq
