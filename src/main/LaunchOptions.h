#pragma once

#include "system/Device.h"

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace vq {

// How the message composer answers.
enum class ComposerBehaviour { Ok, Refuse, None, Fail };

// Where the http and https links the app opens go: the desktop's browser or nowhere.
enum class OpenUrls { Browser, None };

// How push registration answers.
enum class PushBehaviour { Ok, Fail };

// Everything the command line sets.
struct LaunchOptions {
    DeviceProfile device = DeviceProfile::Phone;
    std::string systemVersion = "7.0";
    // The promotion server's base URL, and the store lookup's (else the server's).
    std::optional<std::string> server;
    std::optional<std::string> store;
    // The banner network's base URL (else the promotion server's).
    std::optional<std::string> adServer;
    PushBehaviour push = PushBehaviour::Ok;
    // Off for the card command, which never contacts a server.
    bool network = true;
    std::optional<std::filesystem::path> dataDir;
    bool scratchData = false; // dataDir is removed at the end of the run
    std::set<std::string> installedSchemes;
    std::optional<std::filesystem::path> eventsFile;
    double zoom = 1;
    ComposerBehaviour composer = ComposerBehaviour::Ok;
    bool headless = false;
    // Unset: the browser in a window; a headless run never opens anything.
    std::optional<OpenUrls> openUrls;
    std::optional<std::filesystem::path> script;
};

} // namespace vq
