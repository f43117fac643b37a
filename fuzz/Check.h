#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

// A broken promise of the code under fuzzing: say which and stop, so libFuzzer keeps the input.
inline void require(bool ok, const char* what, std::string_view detail = {})
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    if (!detail.empty()) {
        std::fwrite(detail.data(), 1, detail.size(), stderr);
        std::fputc('\n', stderr);
    }
    std::abort();
}
