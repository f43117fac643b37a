#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace vq {

// libjpeg reports an error by calling back and never returning: the callback jumps back to
// the caller's setjmp, keeping libjpeg's message (or why a hook stopped it) and printing nothing.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    const char* stopped = nullptr; // set by a hook that stops the work
    char message[JMSG_LENGTH_MAX] = {};

    // For the compress or decompress object's `err`.
    jpeg_error_mgr* install();
};

// Stops the work from a hook: the caller's setjmp returns, `stopped` saying why.
[[noreturn]] void stopJpeg(j_common_ptr info, const char* why);

} // namespace vq
