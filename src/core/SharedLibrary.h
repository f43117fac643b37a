#pragma once

#include <string>

namespace vq {

// A shared library opened when first needed rather than by the loader at
// start-up. It is never closed: its exit handlers and threads may outlive
// our last call into it.
class SharedLibrary {
public:
    // Opened with RTLD_NOW | RTLD_LOCAL | extraFlags; when that fails,
    // loaded() is false and error() says why.
    static SharedLibrary open(const char* soname, int extraFlags = 0);

    bool loaded() const { return _handle != nullptr; }
    const std::string& error() const { return _error; }

    // Fills slot with the named entry point; false, with error() naming the
    // symbol, when the library lacks it.
    template <class Function>
    bool resolve(const char* symbol, Function& slot)
    {
        slot = reinterpret_cast<Function>(address(symbol));
        return slot != nullptr;
    }

private:
    void* address(const char* symbol);

    void* _handle = nullptr;
    std::string _soname;
    std::string _error;
};

} // namespace vq
