#pragma once

#include "net/HttpRequestDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// Tells the promotion server what the client showed, what was tapped, which
// promoted apps are installed and the push token. Fire and forget: replies
// only matter for a failure status, which becomes an analytics event.
class Reportor final : public HttpRequestDelegate, public std::enable_shared_from_this<Reportor> {
public:
    // Created on first use, never destroyed.
    static std::shared_ptr<Reportor> instance();
    static void resetForTests();

    using Text = std::optional<std::string>;

    void reportDisplay(const Text& type, const Text& adId);
    void reportClick(const Text& type, const Text& adId, const Text& targetAppId);
    // Nothing for a missing or empty token.
    void reportApns(const Text& token);
    // Only the ones not reported before in this run (until a report fails).
    void reportInstalledApps(const std::vector<std::string>& appIds);
    void reportInstalledAppString(const std::string& list);
    // An analytics event named by the message.
    void reportStatus(const Text& message);

    void requestFinished(const std::shared_ptr<HttpRequest>& request) override;
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override;

    const std::vector<std::string>& reportedInstalledAppList() const { return _reportedInstalledAppList; }

private:
    // The escaped URL of base + "/index.php?" + action; false when it cannot be escaped.
    bool send(const std::string& action);

    std::vector<std::string> _reportedInstalledAppList;
};

} // namespace vq
