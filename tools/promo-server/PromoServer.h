#pragma once

#include "promo-server/Figures.h"
#include "promo-server/ReportStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace httplib {
class Server;
class Request;
class Response;
} // namespace httplib

namespace vq::promo {

// What the server does wrong on purpose.
struct Fault {
    enum class Kind { None, Status500, Slow, Garbage, Truncated, StatusCode };
    Kind kind = Kind::None;
    std::int64_t statusCode = 0; // for StatusCode: the "status.code" every list carries

    // "500", "slow", "garbage", "truncated" or "status:N"; nullopt for anything else.
    static std::optional<Fault> parse(const std::string& text);
};

struct ServerOptions {
    std::vector<std::filesystem::path> lists; // answered in turn to the info request
    std::optional<std::filesystem::path> logFile;
    std::optional<std::filesystem::path> database; // where reports are kept (SQLite)
    Fault fault;
    std::string storeWebHost;                 // where /go/ID redirects
    double slowSeconds = 15;
};

// The demo promotion server: the info list in turn, the four reports, the
// store lookup, store links, pictures and banners; one JSON line per request
// in its log.
class PromoServer {
public:
    explicit PromoServer(ServerOptions options);
    ~PromoServer();
    PromoServer(const PromoServer&) = delete;
    PromoServer& operator=(const PromoServer&) = delete;

    // Reads the lists and opens the database; an error message when one cannot be had.
    std::optional<std::string> load();
    // Binds 127.0.0.1:port (0 picks a free one); the bound port, or nullopt
    // when the port cannot be had.
    std::optional<int> bind(int port);
    // Serves until stop(); call after bind.
    void listen();
    void stop();
    int port() const { return _port; }
    std::string origin() const;

    // The text every list string "{server}" is replaced with.
    static constexpr const char* kOriginPlaceholder = "{server}";

private:
    struct App {
        std::string title, seller, icon, description;
    };
    struct List {
        std::string bytes;
        bool binary = false;
        bool parses = false;
        std::filesystem::file_time_type changed{};
        std::uintmax_t size = 0;
    };
    // What the lists hold, swapped whole when a list file changes.
    struct Catalogue {
        std::vector<List> lists;
        std::map<std::string, App> apps; // by store identifier
        ListIndex index;
    };

    std::shared_ptr<const Catalogue> catalogue() const;
    std::optional<List> readList(const std::filesystem::path& path) const;
    Catalogue catalogueOf(std::vector<List> lists) const;
    // Reads again each list whose file changed; one that no longer parses stays as it was.
    void reloadChangedLists();
    // Stores the request; false, with the reply made, when it cannot be.
    bool record(const httplib::Request& req, httplib::Response& res, const std::string& action);
    void sendFigures(const httplib::Request& req, httplib::Response& res, bool page);

    void routes();
    // The demo store's page for an app of the lists, for a browser that follows /go/ID.
    std::string productPage(const std::string& id, const App& app) const;
    void handleIndex(const httplib::Request& req, httplib::Response& res);
    void logRequest(const httplib::Request& req, const std::string& action);
    // Applies the fault to a prepared answer; false when the answer is to be sent as it is.
    bool applyFault(httplib::Response& res);
    std::string listBody(const List& list) const;
    std::string statusList(std::int64_t code, const std::string& message) const;
    void sendPlist(const httplib::Request& req, httplib::Response& res, std::string body, bool binary);
    std::string picture(const std::string& name);

    ServerOptions _options;
    std::unique_ptr<httplib::Server> _server;
    int _port = 0;
    mutable std::mutex _catalogueMutex;
    std::shared_ptr<const Catalogue> _catalogue = std::make_shared<Catalogue>();
    std::mutex _reloadMutex;
    std::unique_ptr<ReportStore> _store;
    std::atomic<std::size_t> _nextList{0};
    std::mutex _logMutex;
    std::mutex _pictureMutex;
    std::map<std::string, std::string> _pictures;
    std::mutex _stopMutex;
    std::condition_variable _stopped;
    bool _stopping = false;
    std::atomic<bool> _listenCalled{false};
    std::atomic<bool> _listenEnded{false};
};

} // namespace vq::promo
