#pragma once

#include <memory>

namespace vq {

// A C library handle released by its own free function when the owner goes,
// e.g. Owned<cairo_t, cairo_destroy>.
template <auto Free>
struct FreeWith {
    template <class T>
    void operator()(T* handle) const
    {
        if (handle)
            Free(handle);
    }
};

template <class T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

} // namespace vq
