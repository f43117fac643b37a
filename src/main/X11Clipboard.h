#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// The desktop's CLIPBOARD selection on the X server (XWayland under
// Wayland), held by a small window of our own on a connection of our own.
// A thread answers the selection requests: TARGETS, image/png and, when it
// was given, image/jpeg, anything large in INCR chunks. When it goes, the
// picture is handed to a clipboard manager where one runs (SAVE_TARGETS).
class X11Clipboard {
public:
    // nullptr, with why in error, when there is no X server or no libxcb.
    static std::unique_ptr<X11Clipboard> connect(std::string& error);
    ~X11Clipboard();
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // Takes the clipboard with this picture; why not when the server would not give it.
    std::optional<std::string> offer(std::vector<std::uint8_t> png, std::vector<std::uint8_t> jpeg);

    // Above this a request is answered in chunks of this size (INCR), well
    // under any server's request limit.
    static constexpr std::size_t kChunk = 16 * 1024;
    // How long a clipboard manager may take to save the picture at exit.
    static constexpr double kHandOffSeconds = 2;

private:
    struct State;
    explicit X11Clipboard(std::unique_ptr<State> state);
    std::unique_ptr<State> _state;
};

} // namespace vq
