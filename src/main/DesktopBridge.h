#pragma once

#include "core/EventHub.h"
#include "main/LaunchOptions.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vq {

class X11Clipboard;

// What the window shares with the desktop, heard on the event hub while it
// lives: each card the app sends or puts on the pasteboard goes on the
// desktop clipboard, and the http and https links it opens go to the browser
// (xdg-open) unless links is None. A headless run has none of it.
class DesktopBridge {
public:
    static std::unique_ptr<DesktopBridge> create(OpenUrls links);
    ~DesktopBridge();
    DesktopBridge(const DesktopBridge&) = delete;
    DesktopBridge& operator=(const DesktopBridge&) = delete;

private:
    explicit DesktopBridge(OpenUrls links);
    void offerCard(const std::filesystem::path& saved);
    void openLink(const std::string& url);

    OpenUrls _links;
    // Connected when the first card comes; tried once.
    std::unique_ptr<X11Clipboard> _clipboard;
    std::string _clipboardError;
    bool _clipboardTried = false;
    std::vector<Subscription> _subscriptions;
};

} // namespace vq
