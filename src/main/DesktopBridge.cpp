#include "main/DesktopBridge.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "core/Url.h"
#include "graphics/Image.h"
#include "graphics/PictureDecoding.h"
#include "main/X11Clipboard.h"
#include "system/Application.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"

#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace vq {

namespace {

bool goesToBrowser(const std::string& url)
{
    auto parsed = Url::parse(url);
    return parsed && (parsed->scheme() == "http" || parsed->scheme() == "https");
}

} // namespace

std::unique_ptr<DesktopBridge> DesktopBridge::create(OpenUrls links)
{
    return std::unique_ptr<DesktopBridge>(new DesktopBridge(links));
}

DesktopBridge::DesktopBridge(OpenUrls links) : _links(links)
{
    auto& hub = EventHub::shared();
    _subscriptions.push_back(hub.subscribe<PasteboardImageWritten>(
        [this](const PasteboardImageWritten& written) { offerCard(written.path); }));
    _subscriptions.push_back(hub.subscribe<ComposerFinished>([this](const ComposerFinished& finished) {
        for (const auto& path : finished.stored)
            offerCard(path);
    }));
    _subscriptions.push_back(hub.subscribe<URLOpened>([this](const URLOpened& opened) { openLink(opened.url); }));
}

DesktopBridge::~DesktopBridge() = default;

void DesktopBridge::offerCard(const std::filesystem::path& saved)
{
    std::string error;
    auto bytes = readFile(saved, &error);
    if (!bytes) {
        log("card not copied to the clipboard: {}", error);
        return;
    }
    std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
    std::vector<std::uint8_t> png, jpeg;
    if (isPngData(data)) {
        png.assign(data.begin(), data.end());
    } else if (auto image = Image::imageWithData(data)) {
        png = image->pngData();
        if (isJpegData(data))
            jpeg.assign(data.begin(), data.end());
    }
    if (png.empty()) {
        log("card saved to {}; not copied to the clipboard: it is not a picture", saved.string());
        return;
    }
    if (!_clipboardTried) {
        _clipboardTried = true;
        _clipboard = X11Clipboard::connect(_clipboardError);
    }
    auto refused = _clipboard ? _clipboard->offer(std::move(png), std::move(jpeg)) : _clipboardError;
    if (refused)
        log("card saved to {}; not copied to the clipboard: {}", saved.string(), *refused);
    else
        log("card copied to the clipboard and saved to {}", saved.string());
}

void DesktopBridge::openLink(const std::string& url)
{
    if (_links == OpenUrls::None)
        return;
    if (!goesToBrowser(url)) {
        log("{} not opened on the desktop: only http and https links go to the browser", url);
        return;
    }
    pid_t pid = 0;
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(url.c_str()), nullptr};
    if (int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ)) {
        log("cannot open {} in the browser: xdg-open: {}", url, std::strerror(error));
        return;
    }
    // Reaped off the run loop; a failure is told back on it.
    std::thread([pid, url] {
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
            RunLoop::main().post([url] { log("cannot open {} in the browser: xdg-open failed", url); });
    }).detach();
}

} // namespace vq
