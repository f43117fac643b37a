#include "promo-server/PromoServer.h"

#include "artwork/Paint.h"
#include "artwork/PromoPainter.h"

#include "core/Json.h"
#include "core/PropertyList.h"
#include "core/PropertyListValues.h"
#include "core/StringAdditions.h"

#include <BuildSettings.h>

#include <httplib.h>
#include <pango/pangocairo.h>
#include <zlib.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace vq::promo {

namespace {

constexpr const char* kPlistType = "application/x-plist";

std::optional<std::string> readWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return out.str();
}

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Replaces the origin placeholder in every string of the list; true when one was found.
bool fillOrigin(PlistValue& value, const std::string& origin)
{
    bool changed = false;
    if (auto* s = value.string()) {
        // Strings are immutable through the accessor; rebuild when needed.
        std::string text = *s;
        std::size_t at = 0;
        while ((at = text.find(PromoServer::kOriginPlaceholder, at)) != std::string::npos) {
            text.replace(at, std::char_traits<char>::length(PromoServer::kOriginPlaceholder), origin);
            at += origin.size();
            changed = true;
        }
        if (changed)
            value = PlistValue(std::move(text));
    } else if (auto* items = value.array()) {
        for (auto& item : *items)
            changed |= fillOrigin(item, origin);
    } else if (auto* dict = value.dictionary()) {
        for (auto& [key, item] : *dict)
            changed |= fillOrigin(item, origin);
    }
    return changed;
}

std::string gzip(const std::string& data)
{
    z_stream z{};
    // 31: a gzip header and trailer around the deflate stream.
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

bool acceptsGzip(const httplib::Request& req)
{
    return req.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
}

int clampedInt(const std::string& text, int fallback, int low, int high)
{
    if (!allDigits(text) || text.size() > 6)
        return fallback;
    return std::clamp(std::stoi(text), low, high);
}

std::string garbageBytes()
{
    // Neither XML nor binary property-list text, and not even UTF-8.
    std::string junk = "\x89GARBAGE\xff\xfe";
    for (int i = 0; i < 200; ++i)
        junk += static_cast<char>((i * 73 + 19) & 0xff);
    return junk;
}

} // namespace

std::optional<Fault> Fault::parse(const std::string& text)
{
    Fault f;
    if (text.empty() || text == "none")
        return f;
    if (text == "500")
        f.kind = Kind::Status500;
    else if (text == "slow")
        f.kind = Kind::Slow;
    else if (text == "garbage")
        f.kind = Kind::Garbage;
    else if (text == "truncated")
        f.kind = Kind::Truncated;
    else if (text.starts_with("status:")) {
        std::string n = text.substr(7);
        bool negative = !n.empty() && n[0] == '-';
        std::string digits = negative ? n.substr(1) : n;
        if (!allDigits(digits) || digits.size() > 18)
            return std::nullopt;
        f.kind = Kind::StatusCode;
        f.statusCode = std::stoll(digits) * (negative ? -1 : 1);
    } else
        return std::nullopt;
    return f;
}

PromoServer::PromoServer(ServerOptions options)
    : _options(std::move(options)), _server(std::make_unique<httplib::Server>())
{
    // The library's default also sets SO_REUSEPORT, which lets a second server
    // share a port already in use instead of being told so.
    _server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    routes();
}

PromoServer::~PromoServer() { stop(); }

std::optional<PromoServer::List> PromoServer::readList(const std::filesystem::path& path) const
{
    std::error_code ec;
    auto changed = std::filesystem::last_write_time(path, ec);
    auto bytes = readWhole(path);
    if (!bytes)
        return std::nullopt;
    List list{*bytes, bytes->starts_with("bplist"), parsePropertyListDictionary(*bytes).has_value(), changed,
              bytes->size()};
    return list;
}

PromoServer::Catalogue PromoServer::catalogueOf(std::vector<List> lists) const
{
    Catalogue c;
    for (const auto& list : lists) {
        // A list that does not parse is still served as it is (for tests of bad replies).
        auto parsed = parsePropertyListDictionary(list.bytes);
        if (!parsed)
            continue;
        auto remember = [&](const PlistValue& item, const char* type) {
            const PlistValue* id = findKeyPath(item, "app_id");
            if (!id || id->isNull())
                return;
            std::string key = describe(*id);
            if (!allDigits(key))
                return;
            App app;
            app.title = stringValueOf(findKeyPath(item, "title")).value_or("App " + key);
            app.seller = stringValueOf(findKeyPath(item, "seller")).value_or("Velvet Quill Labs");
            app.description = stringValueOf(findKeyPath(item, "content")).value_or("");
            auto [it, added] = c.apps.try_emplace(key, app);
            if (!added && it->second.description.empty())
                it->second.description = app.description;
            c.index.apps.try_emplace(key, ListIndex::App{it->second.title});
            if (auto adId = stringValueOf(findKeyPath(item, "id")); adId && type)
                c.index.adApp.try_emplace({type, *adId}, key);
        };
        if (const auto* big = findKeyPath(*parsed, "bigads"))
            remember(*big, "bigads");
        for (const char* section : {"wall", "reward"})
            if (const auto* items = findKeyPath(*parsed, section); items && items->array())
                for (const auto& item : *items->array())
                    remember(item, nullptr);
        // The alert names its app only in its link: this server's /go/ID, or a store link.
        if (const auto* alert = findKeyPath(*parsed, "alert")) {
            auto adId = stringValueOf(findKeyPath(*alert, "id"));
            auto link = stringValueOf(findKeyPath(*alert, "link")).value_or("");
            std::optional<std::string> app;
            for (const char* marker : {"/go/", "/id", "?id="}) {
                auto at = link.rfind(marker);
                if (at == std::string::npos)
                    continue;
                std::string digits = link.substr(at + std::strlen(marker));
                digits = digits.substr(0, digits.find_first_not_of("0123456789"));
                if (!digits.empty()) {
                    app = digits;
                    break;
                }
            }
            if (adId && app)
                c.index.adApp.try_emplace({"alert", *adId}, *app);
        }
    }
    c.lists = std::move(lists);
    return c;
}

std::shared_ptr<const PromoServer::Catalogue> PromoServer::catalogue() const
{
    std::lock_guard lock(_catalogueMutex);
    return _catalogue;
}

std::optional<std::string> PromoServer::load()
{
    std::vector<List> lists;
    for (const auto& path : _options.lists) {
        auto list = readList(path);
        if (!list)
            return fmt::format("cannot read list {}", path.string());
        lists.push_back(std::move(*list));
    }
    auto fresh = std::make_shared<const Catalogue>(catalogueOf(std::move(lists)));
    {
        std::lock_guard lock(_catalogueMutex);
        _catalogue = std::move(fresh);
    }
    if (_options.database) {
        auto opened = openSqliteReportStore(*_options.database);
        if (auto* error = std::get_if<std::string>(&opened))
            return *error;
        _store = std::move(std::get<std::unique_ptr<ReportStore>>(opened));
    }
    return std::nullopt;
}

void PromoServer::reloadChangedLists()
{
    std::lock_guard reloading(_reloadMutex);
    auto now = catalogue();
    std::vector<List> lists = now->lists;
    bool any = false;
    for (std::size_t i = 0; i < lists.size() && i < _options.lists.size(); ++i) {
        const auto& path = _options.lists[i];
        std::error_code ec;
        auto changed = std::filesystem::last_write_time(path, ec);
        auto size = std::filesystem::file_size(path, ec);
        if (ec || (changed == lists[i].changed && size == lists[i].size))
            continue;
        auto list = readList(path);
        if (!list)
            continue;
        if (!list->parses && lists[i].parses) {
            fmt::print(stderr, "promo-server: {} changed but does not parse; the last good list stays\n", path.string());
            // Told once for this change.
            lists[i].changed = list->changed;
            lists[i].size = list->size;
        } else {
            fmt::print(stderr, "promo-server: {} read again\n", path.string());
            lists[i] = std::move(*list);
        }
        any = true;
    }
    if (!any)
        return;
    auto fresh = std::make_shared<const Catalogue>(catalogueOf(std::move(lists)));
    std::lock_guard lock(_catalogueMutex);
    _catalogue = std::move(fresh);
}

bool PromoServer::record(const httplib::Request& req, httplib::Response& res, const std::string& action)
{
    if (!_store)
        return true;
    Report r;
    r.time = std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
    r.action = action;
    r.appId = req.get_param_value("appid");
    r.deviceId = req.get_param_value("did");
    r.deviceType = req.get_param_value("dtype");
    r.version = req.get_param_value("ver");
    r.adType = req.get_param_value("type");
    r.adId = req.get_param_value("id");
    r.target = req.get_param_value("target");
    r.installs = req.get_param_value("list");
    r.token = req.get_param_value("token");
    auto question = req.target.find('?');
    r.query = question == std::string::npos ? std::string() : req.target.substr(question + 1);
    if (auto error = _store->append(r)) {
        fmt::print(stderr, "promo-server: {}\n", *error);
        res.status = 503;
        sendPlist(req, res, statusList(1, "report not stored"), false);
        return false;
    }
    return true;
}

void PromoServer::sendFigures(const httplib::Request& req, httplib::Response& res, bool page)
{
    auto bad = [&](const std::string& why) {
        res.status = 400;
        res.set_content(why + "\n", "text/plain; charset=utf-8");
    };
    if (!_store)
        return bad("this server keeps no reports: start it with --db FILE");
    std::optional<std::int64_t> from, to;
    std::string span = "Since the first report";
    if (req.has_param("from")) {
        from = dayStart(req.get_param_value("from"));
        if (!from)
            return bad("from is not a date (YYYY-MM-DD)");
    }
    if (req.has_param("to")) {
        to = dayStart(req.get_param_value("to"));
        if (!to)
            return bad("to is not a date (YYYY-MM-DD)");
        *to += 24LL * 3600 * 1000; // the whole of that day
    }
    if (from || to)
        span = fmt::format("From {} to {}", from ? req.get_param_value("from") : "the first report",
                           to ? req.get_param_value("to") : "now");
    auto read = _store->reports(from, to);
    if (auto* error = std::get_if<std::string>(&read)) {
        res.status = 500;
        res.set_content(*error + "\n", "text/plain; charset=utf-8");
        return;
    }
    auto figures = computeFigures(std::get<std::vector<Report>>(read), catalogue()->index);
    if (page)
        res.set_content(figuresPage(figures, span), "text/html; charset=utf-8");
    else
        res.set_content(figuresJson(figures), "application/json");
}

std::optional<int> PromoServer::bind(int port)
{
    if (port == 0) {
        int bound = _server->bind_to_any_port("127.0.0.1");
        if (bound <= 0)
            return std::nullopt;
        _port = bound;
    } else {
        if (!_server->bind_to_port("127.0.0.1", port))
            return std::nullopt;
        _port = port;
    }
    return _port;
}

void PromoServer::listen()
{
    _listenCalled = true;
    {
        std::lock_guard lock(_stopMutex);
        if (_stopping) {
            _listenEnded = true;
            return;
        }
    }
    _server->listen_after_bind();
    _listenEnded = true;
}

void PromoServer::stop()
{
    {
        std::lock_guard lock(_stopMutex);
        _stopping = true;
    }
    _stopped.notify_all();
    // The library's stop() does nothing before the accept loop runs, and
    // the loop would then never end: wait for it to start.
    if (_listenCalled)
        while (!_server->is_running() && !_listenEnded)
            std::this_thread::yield();
    _server->stop();
}

std::string PromoServer::origin() const { return fmt::format("http://127.0.0.1:{}", _port); }

void PromoServer::logRequest(const httplib::Request& req, const std::string& action)
{
    if (!_options.logFile)
        return;
    auto now = std::chrono::system_clock::now().time_since_epoch();
    Json json = {{"time", jsonNumber(std::chrono::duration<double>(now).count())},
                 {"path", req.path},
                 {"action", action},
                 {"params", Json::object()}};
    // A repeated parameter is logged once, with its first value, the one the server reads.
    for (const auto& [key, value] : req.params)
        json["params"].emplace(key, value);
    if (acceptsGzip(req))
        json["gzip"] = true;
    std::lock_guard lock(_logMutex);
    std::ofstream out(*_options.logFile, std::ios::app | std::ios::binary);
    out << jsonText(json) << '\n';
}

bool PromoServer::applyFault(httplib::Response& res)
{
    switch (_options.fault.kind) {
    case Fault::Kind::Status500:
        res.status = 500;
        res.set_content("Internal Server Error\n", "text/plain");
        return true;
    case Fault::Kind::Slow: {
        std::unique_lock lock(_stopMutex);
        _stopped.wait_for(lock, std::chrono::duration<double>(_options.slowSeconds), [this] { return _stopping; });
        return false;
    }
    default:
        return false;
    }
}

std::string PromoServer::statusList(std::int64_t code, const std::string& message) const
{
    if (_options.fault.kind == Fault::Kind::StatusCode) {
        code = _options.fault.statusCode;
        if (code != 0)
            return writePropertyList(PlistValue(PlistValue::Dictionary{
                {"status", PlistValue(PlistValue::Dictionary{{"code", PlistValue(code)},
                                                             {"msg", PlistValue(fmt::format("status {}", code))}})}}));
    }
    return writePropertyList(PlistValue(PlistValue::Dictionary{
        {"status", PlistValue(PlistValue::Dictionary{{"code", PlistValue(code)}, {"msg", PlistValue(message)}})}}));
}

std::string PromoServer::listBody(const List& list) const
{
    auto parsed = parsePropertyListDictionary(list.bytes);
    if (!parsed)
        return list.bytes;
    bool changed = fillOrigin(*parsed, origin());
    if (_options.fault.kind == Fault::Kind::StatusCode) {
        auto& dict = *parsed->dictionary();
        std::int64_t code = _options.fault.statusCode;
        dict["status"] = PlistValue(PlistValue::Dictionary{
            {"code", PlistValue(code)}, {"msg", PlistValue(fmt::format("status {}", code))}});
        changed = true;
    }
    if (!changed)
        return list.bytes;
    // An XML list holding a NUL (which XML cannot carry) goes out in the binary form.
    auto format = list.binary || propertyListWriteError(*parsed, PlistFormat::Xml) ? PlistFormat::Binary : PlistFormat::Xml;
    return writePropertyList(*parsed, format);
}

void PromoServer::sendPlist(const httplib::Request& req, httplib::Response& res, std::string body, bool)
{
    if (_options.fault.kind == Fault::Kind::Garbage)
        body = garbageBytes();
    else if (_options.fault.kind == Fault::Kind::Truncated)
        body.resize(body.size() / 2);
    if (acceptsGzip(req)) {
        std::string packed = gzip(body);
        if (!packed.empty()) {
            res.set_header("Content-Encoding", "gzip");
            body = std::move(packed);
        }
    }
    res.set_content(std::move(body), kPlistType);
}

void PromoServer::handleIndex(const httplib::Request& req, httplib::Response& res)
{
    std::string action = req.get_param_value("action");
    logRequest(req, action);
    if (applyFault(res))
        return;
    if (action == "info") {
        reloadChangedLists();
        auto now = catalogue();
        if (now->lists.empty()) {
            res.status = 404;
            sendPlist(req, res, statusList(1, "no list"), false);
            return;
        }
        if (!record(req, res, action))
            return;
        const List& list = now->lists[_nextList.fetch_add(1) % now->lists.size()];
        sendPlist(req, res, listBody(list), list.binary);
        return;
    }
    if (action == "display" || action == "click" || action == "install" || action == "apns") {
        // Stored before it is answered: a report the client saw answered is never lost.
        if (record(req, res, action))
            sendPlist(req, res, statusList(0, "ok"), false);
        return;
    }
    res.status = 400;
    sendPlist(req, res, statusList(1, "unknown action"), false);
}

std::string PromoServer::picture(const std::string& name)
{
    std::lock_guard lock(_pictureMutex);
    if (auto it = _pictures.find(name); it != _pictures.end())
        return it->second;
    auto now = catalogue();
    auto titleOf = [&](const std::string& key) {
        auto it = now->apps.find(key);
        return it == now->apps.end() ? std::string() : it->second.title;
    };
    std::string png;
    if (name.starts_with("icon-") && name.size() > 5) {
        std::string key = name.substr(5);
        // One file serves every size an ad shows it at; the largest is the tablet wall's featured 100 points.
        png = artwork::PromoPainter::png(100, 100, 2, [&](cairo_t* cr) {
            artwork::PromoPainter::appIcon(cr, 100, key, titleOf(key));
        });
    } else if (name.starts_with("ad-") && name.size() > 3) {
        std::string key = name.substr(3);
        double w = 280, h = 257;
        if (key.ends_with("-i5")) {
            key.resize(key.size() - 3);
            h = 341;
        } else if (key.ends_with("-ipad")) {
            key.resize(key.size() - 5);
            w = 501;
            h = 541;
        }
        png = artwork::PromoPainter::png(w, h, 2, [&](cairo_t* cr) {
            artwork::PromoPainter::adPicture(cr, w, h, key, titleOf(key));
        });
    } else {
        return {};
    }
    // This pool thread's font map is not needed again soon; drop it.
    pango_cairo_font_map_set_default(nullptr);
    _pictures.emplace(name, png);
    return png;
}

std::string PromoServer::productPage(const std::string& id, const App& app) const
{
    // The escaping XML wants does for text and double-quoted attributes in HTML.
    auto html = [](const std::string& text) {
        std::string out;
        appendXmlEscaped(out, text);
        return out;
    };
    return fmt::format(R"(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title} - demo store</title>
<style>
body {{ font-family: sans-serif; max-width: 32em; margin: 3em auto; padding: 0 1em; color: #222; }}
header {{ display: flex; gap: 1em; align-items: center; }}
img {{ width: 96px; height: 96px; border-radius: 20px; }}
h1 {{ margin: 0; font-size: 1.6em; }}
.seller {{ color: #666; margin: 0.2em 0 0; }}
button {{ font-size: 1.1em; padding: 0.4em 1.6em; border-radius: 1em; border: 0; background: #2a7ae2; color: white; }}
button:disabled {{ background: #999; }}
footer {{ margin-top: 3em; color: #888; font-size: 0.9em; }}
</style>
</head>
<body>
<header>
<img src="/img/icon-{id}.png" alt="">
<div>
<h1>{title}</h1>
<p class="seller">{seller}</p>
</div>
</header>
<p>{description}</p>
<p><button type="button" onclick="this.disabled = true; this.textContent = 'Nothing to install: a demo'">Install</button></p>
<footer>The demo promotion server's store page for app {id}; nothing here installs anything.</footer>
</body>
</html>
)",
                       fmt::arg("id", id), fmt::arg("title", html(app.title)), fmt::arg("seller", html(app.seller)),
                       fmt::arg("description", html(app.description)));
}

void PromoServer::routes()
{
    auto& s = *_server;
    s.Get("/index.php", [this](const httplib::Request& req, httplib::Response& res) { handleIndex(req, res); });

    s.Get("/store/lookup", [this](const httplib::Request& req, httplib::Response& res) {
        logRequest(req, "lookup");
        if (applyFault(res))
            return;
        std::string id = req.get_param_value("id");
        auto now = catalogue();
        auto it = allDigits(id) ? now->apps.find(id) : now->apps.end();
        if (it == now->apps.end()) {
            res.status = 404;
            sendPlist(req, res, writePropertyList(PlistValue(PlistValue::Dictionary{})), false);
            return;
        }
        PlistValue product(PlistValue::Dictionary{{"name", PlistValue(it->second.title)},
                                                  {"seller", PlistValue(it->second.seller)},
                                                  {"icon", PlistValue(fmt::format("{}/img/icon-{}.png", origin(), id))}});
        sendPlist(req, res, writePropertyList(product), false);
    });

    s.Get(R"(/go/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) {
        logRequest(req, "go");
        std::string id = req.matches[1];
        if (!allDigits(id)) {
            res.status = 404;
            return;
        }
        // A browser asks for a page: it gets the demo store's, here. The app asks
        // for anything and gets the store's link, which it knows by its host.
        if (req.get_header_value("Accept").find("text/html") != std::string::npos)
            res.set_redirect(fmt::format("{}/app/id{}", origin(), id), 302);
        else
            res.set_redirect(fmt::format("http://{}/app/id{}?mt=8", _options.storeWebHost, id), 302);
    });

    s.Get(R"(/app/id(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
        logRequest(req, "app");
        auto now = catalogue();
        auto it = now->apps.find(req.matches[1].str());
        if (it == now->apps.end()) {
            res.status = 404;
            res.set_content("<!doctype html><title>Not found</title><p>No app of the demo lists has this number.</p>\n",
                            "text/html; charset=utf-8");
            return;
        }
        res.set_content(productPage(it->first, it->second), "text/html; charset=utf-8");
    });

    s.Get("/stats.json", [this](const httplib::Request& req, httplib::Response& res) { sendFigures(req, res, false); });
    s.Get("/stats", [this](const httplib::Request& req, httplib::Response& res) { sendFigures(req, res, true); });

    s.Get(R"(/img/(.+)\.png)", [this](const httplib::Request& req, httplib::Response& res) {
        logRequest(req, "img");
        std::string png = picture(req.matches[1]);
        if (png.empty()) {
            res.status = 404;
            return;
        }
        res.set_content(std::move(png), "image/png");
    });

    s.Get("/banner", [this](const httplib::Request& req, httplib::Response& res) {
        logRequest(req, "banner");
        std::string unit = req.get_param_value("unit");
        if (unit.empty() || unit == "missing") {
            res.status = 404;
            return;
        }
        int w = clampedInt(req.get_param_value("w"), 320, 1, 2048);
        int h = clampedInt(req.get_param_value("h"), 50, 1, 2048);
        bool test = req.get_param_value("test") == "1";
        std::string png;
        {
            std::lock_guard lock(_pictureMutex);
            png = artwork::PromoPainter::png(w, h, 2, [&](cairo_t* cr) {
                artwork::PromoPainter::banner(cr, w, h, unit, test);
            });
            pango_cairo_font_map_set_default(nullptr);
        }
        // Where a tap on the banner goes: the app's own store link on this server.
        res.set_header("X-Banner-Link", fmt::format("{}/go/{}", origin(), build::kAppStoreId));
        res.set_content(std::move(png), "image/png");
    });

    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(fmt::format("{}\n", res.status), "text/plain");
    });
}

} // namespace vq::promo
