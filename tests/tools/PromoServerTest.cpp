#include "promo-server/PromoServer.h"

#include "core/PropertyList.h"
#include "core/PropertyListValues.h"
#include "graphics/Image.h"
#include "support/ReadJson.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sqlite3.h>
#include <zlib.h>

#include <chrono>
#include <fstream>
#include <set>
#include <span>
#include <sstream>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace vq;
using namespace vq::promo;

namespace {

using Dict = PlistValue::Dictionary;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string gunzip(const std::string& packed)
{
    z_stream z{};
    if (inflateInit2(&z, 31) != Z_OK)
        return {};
    std::string out;
    char buffer[16384];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    } while (rc == Z_OK);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

// A server on an ephemeral loopback port for one test.
class RunningServer {
public:
    explicit RunningServer(ServerOptions options) : server(std::move(options))
    {
        auto error = server.load();
        EXPECT_FALSE(error) << *error;
        port = server.bind(0).value_or(0);
        EXPECT_GT(port, 0);
        thread = std::thread([this] { server.listen(); });
    }
    ~RunningServer()
    {
        server.stop();
        thread.join();
    }
    httplib::Client client() const
    {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(20, 0);
        c.set_decompress(false);
        return c;
    }
    httplib::Result get(const std::string& path, bool gzip = false) const
    {
        auto c = client();
        return c.Get(path, {{"Accept-Encoding", gzip ? "gzip" : "identity"}});
    }
    // As a browser asks: for a page.
    httplib::Result browse(const std::string& path) const
    {
        return client().Get(path, {{"Accept", "text/html,application/xhtml+xml,*/*;q=0.8"}});
    }

    PromoServer server;
    int port = 0;
    std::thread thread;
};

class PromoServerTest : public testing::Test {
protected:
    ServerOptions options()
    {
        ServerOptions o;
        o.storeWebHost = "store.velvetquill.test";
        o.logFile = dir / "requests.jsonl";
        return o;
    }

    std::filesystem::path writeList(const std::string& name, const PlistValue& list, PlistFormat format)
    {
        auto path = dir / name;
        writeFile(path, writePropertyList(list, format));
        return path;
    }

    std::vector<test::Json> logEntries()
    {
        std::vector<test::Json> out;
        for (const auto& line : lines(readFile(dir / "requests.jsonl"))) {
            auto v = test::parseJson(line);
            EXPECT_TRUE(v) << line;
            if (v)
                out.push_back(*v);
        }
        return out;
    }

    test::TempDir dir;
};

PlistValue wallList(const std::string& marker)
{
    return PlistValue(Dict{
        {"base", PlistValue(Dict{{"ad_type", PlistValue("wall")}, {"base_url", PlistValue("{server}/img/")},
                                 {"marker", PlistValue(marker)}})},
        {"wall", PlistValue(PlistValue::Array{
                     PlistValue(Dict{{"app_id", PlistValue("555001")}, {"title", PlistValue("Petal Post & Co")},
                                     {"content", PlistValue("Bouquets <of> words")},
                                     {"link", PlistValue("{server}/go/555001")}}),
                     PlistValue(Dict{{"app_id", PlistValue(555002)}, {"title", PlistValue("Numbered")}})})},
    });
}

} // namespace

TEST_F(PromoServerTest, InfoAnswersEachListInTurnInItsOwnFormat)
{
    auto o = options();
    o.lists = {writeList("one.plist", wallList("one"), PlistFormat::Binary),
               writeList("two.plist", PlistValue(Dict{{"base", PlistValue(Dict{{"marker", PlistValue("two")}})}}),
                         PlistFormat::Xml)};
    RunningServer s(o);
    std::vector<std::string> markers;
    for (int i = 0; i < 3; ++i) {
        auto res = s.get("/index.php?action=info&appid=1&dv=iPhone%204S");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/x-plist");
        auto list = parsePropertyListDictionary(res->body);
        ASSERT_TRUE(list) << res->body;
        markers.push_back(*stringValueOf(findKeyPath(*list, "base.marker")));
        if (i == 0) {
            // Binary stays binary, and the origin placeholder becomes this server.
            EXPECT_TRUE(res->body.starts_with("bplist00"));
            EXPECT_EQ(*stringValueOf(findKeyPath(*list, "base.base_url")), s.server.origin() + "/img/");
            EXPECT_EQ(describe(valueForKeyPath(*list, "wall.link")),
                      "(\n    \"" + s.server.origin() + "/go/555001\",\n    <null>\n)");
        }
        if (i == 1) { // a list without the placeholder goes out byte for byte
            EXPECT_EQ(res->body, readFile(o.lists[1]));
        }
    }
    EXPECT_EQ(markers, (std::vector<std::string>{"one", "two", "one"}));
}

TEST_F(PromoServerTest, GzipOnlyWhenTheClientAcceptsIt)
{
    auto o = options();
    o.lists = {std::filesystem::path(VQ_EXAMPLES_DIR) / "promotion" / "demo.plist"};
    RunningServer s(o);
    auto plain = s.get("/index.php?action=info");
    auto packed = s.get("/index.php?action=info", true);
    ASSERT_TRUE(plain && packed);
    EXPECT_EQ(plain->get_header_value("Content-Encoding"), "");
    EXPECT_EQ(packed->get_header_value("Content-Encoding"), "gzip");
    EXPECT_LT(packed->body.size(), plain->body.size());
    EXPECT_EQ(gunzip(packed->body), plain->body);
    auto list = parsePropertyListDictionary(plain->body);
    ASSERT_TRUE(list);
    EXPECT_EQ(*stringValueOf(findKeyPath(*list, "alert.link")), s.server.origin() + "/go/681234001");
}

TEST_F(PromoServerTest, ReportsSucceedAndEveryRequestIsLoggedDecoded)
{
    RunningServer s(options());
    for (const char* action : {"display", "click", "install", "apns"}) {
        auto res = s.get(std::string("/index.php?action=") + action +
                         "&ver=1.0&did=abc&dtype=ad%20id&list=1,2,3&dv=iPhone%25204S&id=");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        auto reply = parsePropertyListDictionary(res->body);
        ASSERT_TRUE(reply);
        EXPECT_EQ(integerValueOf(findKeyPath(*reply, "status.code")), 0);
    }
    auto unknown = s.get("/index.php?action=dance");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 400);

    auto entries = logEntries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries.at(1).at("action").get<std::string>(), "click");
    EXPECT_EQ(entries.at(1).at("path").get<std::string>(), "/index.php");
    EXPECT_EQ(entries.at(1).at("params").at("dtype").get<std::string>(), "ad id");
    EXPECT_EQ(entries.at(1).at("params").at("list").get<std::string>(), "1,2,3");
    // A percent sign escaped twice arrives escaped once.
    EXPECT_EQ(entries.at(1).at("params").at("dv").get<std::string>(), "iPhone%204S");
    EXPECT_EQ(entries.at(1).at("params").at("id").get<std::string>(), "");
    EXPECT_EQ(entries.at(4).at("action").get<std::string>(), "dance");
}

TEST_F(PromoServerTest, StoreLookupLinksAndPictures)
{
    auto o = options();
    o.lists = {writeList("wall.plist", wallList("w"), PlistFormat::Xml)};
    RunningServer s(o);

    auto found = s.get("/store/lookup?id=555001");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->status, 200);
    auto product = parsePropertyListDictionary(found->body);
    ASSERT_TRUE(product);
    EXPECT_EQ(*stringValueOf(findKeyPath(*product, "name")), "Petal Post & Co");
    EXPECT_TRUE(stringValueOf(findKeyPath(*product, "seller")));
    EXPECT_EQ(*stringValueOf(findKeyPath(*product, "icon")), s.server.origin() + "/img/icon-555001.png");
    // An app id written as a number in the list is a product too.
    auto numbered = s.get("/store/lookup?id=555002");
    ASSERT_TRUE(numbered);
    EXPECT_EQ(numbered->status, 200);
    for (const char* bad : {"/store/lookup?id=999", "/store/lookup?id=55500x", "/store/lookup"}) {
        auto res = s.get(bad);
        ASSERT_TRUE(res) << bad;
        EXPECT_EQ(res->status, 404) << bad;
        auto body = parsePropertyListDictionary(res->body);
        EXPECT_FALSE(body && findKeyPath(*body, "name")) << bad;
    }

    auto go = s.get("/go/555001");
    ASSERT_TRUE(go);
    EXPECT_EQ(go->status, 302);
    EXPECT_EQ(go->get_header_value("Location"), "http://store.velvetquill.test/app/id555001?mt=8");
    auto badGo = s.get("/go/abc");
    ASSERT_TRUE(badGo);
    EXPECT_EQ(badGo->status, 404);
    // A browser following the same link lands on the demo store's page here.
    auto browsed = s.browse("/go/555001");
    ASSERT_TRUE(browsed);
    EXPECT_EQ(browsed->status, 302);
    EXPECT_EQ(browsed->get_header_value("Location"), s.server.origin() + "/app/id555001");
    auto page = s.browse("/app/id555001");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    for (const char* part : {"<h1>Petal Post &amp; Co</h1>", "Bouquets &lt;of&gt; words", "src=\"/img/icon-555001.png\"",
                             ">Install</button>"})
        EXPECT_NE(page->body.find(part), std::string::npos) << part;
    EXPECT_EQ(s.browse("/app/id999")->status, 404);

    struct Picture {
        const char* path;
        int width, height;
    };
    for (Picture p : {Picture{"/img/icon-555001.png", 200, 200}, Picture{"/img/ad-555001.png", 560, 514},
                      Picture{"/img/ad-555001-i5.png", 560, 682}, Picture{"/img/ad-555001-ipad.png", 1002, 1082}}) {
        auto res = s.get(p.path);
        ASSERT_TRUE(res) << p.path;
        ASSERT_EQ(res->status, 200) << p.path;
        EXPECT_EQ(res->get_header_value("Content-Type"), "image/png");
        auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(res->body.data()), res->body.size());
        auto image = Image::imageWithData(bytes);
        ASSERT_TRUE(image) << p.path;
        EXPECT_EQ(image->pixelWidth(), p.width) << p.path;
        EXPECT_EQ(image->pixelHeight(), p.height) << p.path;
        // A picture, not a flat fill: many distinct colours.
        std::set<std::uint32_t> colours;
        for (int y = 0; y < image->pixelHeight(); y += 7)
            for (int x = 0; x < image->pixelWidth(); x += 7) {
                auto c = image->pixelAt(x, y);
                colours.insert(static_cast<std::uint32_t>(c.red8() >> 3) << 10 |
                               static_cast<std::uint32_t>(c.green8() >> 3) << 5 | static_cast<std::uint32_t>(c.blue8() >> 3));
            }
        EXPECT_GT(colours.size(), 20u) << p.path;
    }
    // Different apps get different icons.
    EXPECT_NE(s.get("/img/icon-555001.png")->body, s.get("/img/icon-555002.png")->body);
    EXPECT_EQ(s.get("/img/logo.png")->status, 404);
}

TEST_F(PromoServerTest, BannersForAnyUnitButMissing)
{
    RunningServer s(options());
    auto res = s.get("/banner?unit=vq-demo&w=320&h=50&test=1");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    auto image = Image::imageWithData(std::span(reinterpret_cast<const std::uint8_t*>(res->body.data()), res->body.size()));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 640);
    EXPECT_EQ(image->pixelHeight(), 100);
    // A tap goes to the app's store link, which this server redirects.
    auto link = res->get_header_value("X-Banner-Link");
    std::string origin = "http://127.0.0.1:" + std::to_string(s.port);
    ASSERT_EQ(link.rfind(origin + "/go/", 0), 0u) << link;
    EXPECT_EQ(s.get(link.substr(origin.size()))->status, 302);
    EXPECT_NE(s.get("/banner?unit=vq-demo&w=320&h=50&test=0")->body, res->body);
    EXPECT_EQ(s.get("/banner?unit=missing&w=320&h=50&test=0")->status, 404);
    EXPECT_EQ(s.get("/banner?w=320&h=50")->status, 404);
    // Absurd sizes are clamped rather than allocated.
    EXPECT_EQ(s.get("/banner?unit=x&w=99999999&h=-4")->status, 200);
}

TEST_F(PromoServerTest, StoppedAtOnceAfterStarting)
{
    // Stopping before the accept loop runs must not leave it running for ever.
    for (int i = 0; i < 50; ++i) {
        RunningServer s(options());
    }
}

TEST_F(PromoServerTest, Faults)
{
    auto list = wallList("f");
    auto o = options();
    o.lists = {writeList("f.plist", list, PlistFormat::Binary)};

    {
        o.fault = *Fault::parse("500");
        RunningServer s(o);
        EXPECT_EQ(s.get("/index.php?action=info")->status, 500);
        EXPECT_EQ(s.get("/index.php?action=display")->status, 500);
    }
    {
        o.fault = *Fault::parse("garbage");
        RunningServer s(o);
        auto res = s.get("/index.php?action=info");
        EXPECT_EQ(res->status, 200);
        EXPECT_FALSE(parsePropertyList(res->body));
    }
    {
        o.fault = *Fault::parse("truncated");
        RunningServer s(o);
        auto res = s.get("/index.php?action=info", true);
        EXPECT_EQ(res->status, 200);
        std::string body = gunzip(res->body);
        EXPECT_TRUE(body.starts_with("bplist00"));
        EXPECT_FALSE(parsePropertyList(body));
    }
    {
        o.fault = *Fault::parse("status:7");
        RunningServer s(o);
        auto info = parsePropertyListDictionary(s.get("/index.php?action=info")->body);
        ASSERT_TRUE(info);
        EXPECT_EQ(integerValueOf(findKeyPath(*info, "status.code")), 7);
        EXPECT_EQ(*stringValueOf(findKeyPath(*info, "base.marker")), "f");
        auto report = parsePropertyListDictionary(s.get("/index.php?action=click")->body);
        ASSERT_TRUE(report);
        EXPECT_EQ(integerValueOf(findKeyPath(*report, "status.code")), 7);
    }
    {
        o.fault = *Fault::parse("slow");
        o.slowSeconds = 0.4;
        RunningServer s(o);
        auto start = std::chrono::steady_clock::now();
        auto res = s.get("/index.php?action=info");
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(390));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
    }
    EXPECT_EQ(Fault::parse("status:-2")->statusCode, -2);
    for (const char* bad : {"404", "status:", "status:x", "sloww"})
        EXPECT_FALSE(Fault::parse(bad)) << bad;
}

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1, err = -1;
};

Child spawn(const std::vector<std::string>& args)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    child.out = out[0];
    child.err = err[0];
    return child;
}

std::string readLine(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

std::string readAll(int fd)
{
    std::string all;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        all.append(buffer, static_cast<std::size_t>(n));
    return all;
}

int finish(Child& child, bool terminate)
{
    if (terminate)
        kill(child.pid, SIGTERM);
    int status = 0;
    waitpid(child.pid, &status, 0);
    close(child.out);
    close(child.err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(PromoServerProgramTest, ReportsItsPortServesAndRefusesATakenPort)
{
    std::string examples = std::string(VQ_EXAMPLES_DIR) + "/promotion/";
    Child server = spawn({VQ_PROMO_SERVER_BINARY, "--port", "0", "--list", examples + "alert.plist", "--list",
                          examples + "wall.plist"});
    ASSERT_GT(server.pid, 0);
    std::string first = readLine(server.out);
    const std::string prefix = "promo-server: listening on http://127.0.0.1:";
    ASSERT_TRUE(first.starts_with(prefix)) << first;
    int port = std::stoi(first.substr(prefix.size()));

    httplib::Client client("127.0.0.1", port);
    auto alert = client.Get("/index.php?action=info");
    auto wall = client.Get("/index.php?action=info");
    ASSERT_TRUE(alert && wall);
    auto alertList = parsePropertyListDictionary(alert->body);
    auto wallList = parsePropertyListDictionary(wall->body);
    ASSERT_TRUE(alertList && wallList);
    EXPECT_EQ(*stringValueOf(findKeyPath(*alertList, "base.ad_type")), "alert");
    EXPECT_EQ(*stringValueOf(findKeyPath(*wallList, "base.ad_type")), "wall");

    // The same port again: one line on standard error and a failing exit.
    Child second = spawn({VQ_PROMO_SERVER_BINARY, "--port", std::to_string(port)});
    ASSERT_GT(second.pid, 0);
    std::string err = readAll(second.err);
    EXPECT_EQ(finish(second, false), 3);
    EXPECT_EQ(err, "promo-server: port " + std::to_string(port) + " is in use\n");

    EXPECT_EQ(finish(server, true), 0);

    Child bad = spawn({VQ_PROMO_SERVER_BINARY, "--port", "0", "--fault", "sometimes"});
    ASSERT_GT(bad.pid, 0);
    EXPECT_EQ(finish(bad, false), 2);
}

namespace {

// A report as the app sends it, to the running server.
int report(const RunningServer& s, const std::string& query)
{
    auto res = s.get("/index.php?" + query);
    return res ? res->status : -1;
}

test::Json figuresOf(const RunningServer& s, const std::string& query = "")
{
    auto res = s.get("/stats.json" + query);
    EXPECT_TRUE(res && res->status == 200) << (res ? res->body : "no answer");
    auto json = res ? test::parseJson(res->body) : std::nullopt;
    return json ? *json : test::Json();
}

} // namespace

TEST_F(PromoServerTest, ReportsAreKeptAndCountedByTheListsAds)
{
    auto list = PlistValue(Dict{
        {"alert", PlistValue(Dict{{"id", PlistValue("alert-101")}, {"link", PlistValue("{server}/go/555003")}})},
        {"bigads", PlistValue(Dict{{"id", PlistValue("big-201")}, {"app_id", PlistValue("555002")},
                                   {"title", PlistValue("Inkwell")}})},
        {"wall", wallList("w").dictionary()->at("wall")},
    });
    auto o = options();
    o.lists = {writeList("all.plist", list, PlistFormat::Xml)};
    o.database = dir / "reports.db";
    {
        RunningServer s(o);
        const std::string a = "appid=9&ver=1.0&dtype=ad%20id&did=A", b = "appid=9&ver=1.0&dtype=ad%20id&did=B";
        for (const auto& q : {"action=info&" + a, "action=info&" + b, "action=display&type=alert&id=alert-101&" + a,
                              "action=display&type=alert&id=alert-101&" + b, "action=click&type=alert&id=alert-101&" + a,
                              "action=display&type=bigads&id=big-201&" + a,
                              "action=click&type=bigads&id=big-201&target=555002&" + b,
                              "action=display&type=wall&id=&" + a, "action=click&type=wall&id=&target=555001&" + a,
                              "action=install&list=555001,555002,555001&" + a, "action=install&list=555001&" + a,
                              "action=install&list=555001&" + b, "action=apns&token=t1&" + a,
                              "action=apns&token=t2&" + b, "action=apns&token=t2&" + b})
            ASSERT_EQ(report(s, q), 200) << q;
    }
    // A fresh server on the same file finds them all.
    RunningServer s(o);
    auto f = figuresOf(s);
    EXPECT_EQ(f.at("reports"), 15);
    EXPECT_EQ(f.at("devices"), 2);
    EXPECT_EQ(f.at("push_tokens"), 2);
    EXPECT_TRUE(f.at("since").get<std::string>().ends_with("Z"));
    EXPECT_EQ(f.at("ads"), test::parseJson(R"([
        {"type":"alert","ad_id":"alert-101","app_id":"555003","displays":2,"clicks":1},
        {"type":"bigads","ad_id":"big-201","app_id":"555002","displays":1,"clicks":1},
        {"type":"wall","ad_id":"","app_id":"","displays":1,"clicks":1}])")
                           .value());
    EXPECT_EQ(f.at("apps"), test::parseJson(R"([
        {"app_id":"555001","name":"Petal Post & Co","displays":0,"clicks":1,"installs":2},
        {"app_id":"555002","name":"Inkwell","displays":1,"clicks":1,"installs":1},
        {"app_id":"555003","name":"","displays":2,"clicks":1,"installs":0}])")
                           .value());

    // The page shows the same; a span with no reports shows none.
    auto page = s.get("/stats");
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find(R"(<span id="reports">15</span>)"), std::string::npos);
    EXPECT_NE(page->body.find("Petal Post &amp; Co</td><td class=\"displays\">0</td><td class=\"clicks\">1</td>"),
              std::string::npos);
    EXPECT_NE(page->body.find("<svg id=\"days\""), std::string::npos);
    EXPECT_EQ(figuresOf(s, "?from=2999-01-01").at("reports"), 0);
    EXPECT_EQ(figuresOf(s, "?to=2000-01-01").at("reports"), 0);
    EXPECT_EQ(s.get("/stats.json?from=yesterday")->status, 400);
}

TEST_F(PromoServerTest, ADatabaseThatIsNotOursIsRefusedAndLeftAsItIs)
{
    auto o = options();
    o.database = dir / "notes.db";
    writeFile(*o.database, "these are my notes, not a database\n");
    PromoServer text(o);
    auto error = text.load();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("notes.db"), std::string::npos) << *error;
    EXPECT_EQ(readFile(*o.database), "these are my notes, not a database\n");

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "other.db").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE mine (x)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    o.database = dir / "other.db";
    PromoServer other(o);
    error = other.load();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("not a promo-server database"), std::string::npos) << *error;

    // Bounded, not refused: a huge value is kept cut.
    auto opened = openSqliteReportStore(dir / "ours.db");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ReportStore>>(opened)) << std::get<std::string>(opened);
    auto& store = *std::get<std::unique_ptr<ReportStore>>(opened);
    Report huge;
    huge.action = "display";
    huge.adId = std::string(100000, 'x');
    ASSERT_FALSE(store.append(huge));
    auto back = std::get<std::vector<Report>>(store.reports({}, {}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].adId.size(), Report::kFieldLimit);
}

TEST_F(PromoServerTest, AChangedListIsServedAndABrokenChangeKeepsTheLastGoodOne)
{
    auto o = options();
    auto path = writeList("live.plist", wallList("first"), PlistFormat::Xml);
    o.lists = {path};
    RunningServer s(o);
    auto marker = [&] {
        auto list = parsePropertyListDictionary(s.get("/index.php?action=info")->body);
        return list ? stringValueOf(findKeyPath(*list, "base.marker")).value_or("?") : "unparsed";
    };
    EXPECT_EQ(marker(), "first");
    auto touch = [&](int seconds) {
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(seconds));
    };
    writeList("live.plist", wallList("second"), PlistFormat::Binary);
    touch(2);
    EXPECT_EQ(marker(), "second");
    writeFile(path, "<plist><dict><key>base</key>");
    touch(4);
    EXPECT_EQ(marker(), "second");
    EXPECT_EQ(s.get("/store/lookup?id=555001")->status, 200);
}

TEST(PromoServerProgramTest, EveryAnsweredReportOutlivesAKill)
{
    test::TempDir dir;
    std::string db = (dir / "reports.db").string();
    int answered = 0;
    for (int round = 0; round < 3; ++round) {
        Child server = spawn({VQ_PROMO_SERVER_BINARY, "--port", "0", "--db", db});
        ASSERT_GT(server.pid, 0);
        std::string first = readLine(server.out);
        ASSERT_TRUE(first.starts_with("promo-server: listening on http://127.0.0.1:")) << first;
        int port = std::stoi(first.substr(first.rfind(':') + 1));
        httplib::Client client("127.0.0.1", port);
        for (int i = 0; i < 20; ++i) {
            auto res = client.Get("/index.php?action=display&type=alert&did=D&id=a" + std::to_string(i));
            ASSERT_TRUE(res && res->status == 200);
            ++answered;
        }
        // Straight after the last answer, with no chance to tidy up.
        kill(server.pid, SIGKILL);
        finish(server, false);
    }
    Child server = spawn({VQ_PROMO_SERVER_BINARY, "--port", "0", "--db", db});
    std::string first = readLine(server.out);
    int port = std::stoi(first.substr(first.rfind(':') + 1));
    auto res = httplib::Client("127.0.0.1", port).Get("/stats.json");
    ASSERT_TRUE(res);
    auto figures = test::parseJson(res->body);
    ASSERT_TRUE(figures);
    EXPECT_EQ(figures->at("reports"), answered);
    EXPECT_EQ(finish(server, true), 0);
}
