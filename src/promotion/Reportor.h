#pragma once

#include "net/HttpRequestDelegate.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
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
    // False, with one log line, when the report could not be sent.
    bool reportInstalledAppString(const std::string& list);
    // An analytics event named by the message.
    void reportStatus(const Text& message);

    void requestFinished(const std::shared_ptr<HttpRequest>& request) override;
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override;

    const std::vector<std::string>& reportedInstalledAppList() const { return _reportedInstalledAppList; }

private:
    using Query = std::vector<std::pair<std::string_view, std::string>>;
    // GET base + "/index.php?" + the query, each value escaped on its own so
    // that nothing in it can end it or add a parameter; false, with one log
    // line, when a value cannot be written in a URL.
    bool send(const Query& query);

    std::vector<std::string> _reportedInstalledAppList;
    // The same ids, to look them up: a wall may list thousands.
    std::unordered_set<std::string> _reportedInstalledApps;
};

} // namespace vq
