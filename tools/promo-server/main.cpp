// promo-server: the demo promotion server for `make run` and the tests.
#include "promo-server/PromoServer.h"

#include <BuildSettings.h>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <thread>

namespace {

vq::promo::PromoServer* running = nullptr;

void onSignal(int)
{
    if (running)
        running->stop();
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Serves promotion lists, reports, store lookups, store links, pictures and banners on 127.0.0.1.",
                 "promo-server"};
    app.set_version_flag("--version", fmt::format("promo-server {}", vq::build::kVersion));
    app.get_formatter()->column_width(24);
    app.footer("Routes:\n"
               "  /index.php              The promotion list (the info request) and the reports\n"
               "  /store/lookup?id=N      A store lookup of a promoted app\n"
               "  /go/ID                  A store link: a redirect to the store host, or to /app/idID for a browser\n"
               "  /app/idID               A promoted app's product page\n"
               "  /img/NAME.png           Pictures the lists name\n"
               "  /banner                 A banner of the banner network\n"
               "  /stats, /stats.json     What the ads did, kept with --db (?from=YYYY-MM-DD&to=YYYY-MM-DD)\n"
               "\n"
               "Exit status:\n"
               "  0  Stopped by SIGINT or SIGTERM\n"
               "  2  A usage error, a list that cannot be read, an unknown fault, or a --db file that is not ours\n"
               "  3  The port is in use\n");
    int port = 8737;
    std::vector<std::string> lists;
    std::string logFile, fault, storeHost = vq::build::kStoreWebHost;
    app.add_option("--port", port, "port to listen on (default 8737); 0 picks a free one (printed on the first line)")
        ->check(CLI::Range(0, 65535))
        ->option_text("PORT");
    app.add_option("--list", lists, "a property list answered to the info request, in turn (repeatable)")->option_text("FILE");
    app.add_option("--log", logFile, "appends one JSON line per request")->option_text("FILE");
    std::string database;
    app.add_option("--db", database,
                   "keeps every info request and report in this SQLite file (made when missing) and shows them at "
                   "/stats and /stats.json")
        ->option_text("FILE");
    app.add_option("--fault", fault, "answers list requests badly: 500, slow, garbage, truncated or status:N")
        ->option_text("FAULT");
    app.add_option("--store-host", storeHost, fmt::format("host that /go/ID redirects to (default {})", storeHost))
        ->option_text("HOST");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 answers 0 for --help and --version; usage errors are 2, as the app's.
        return app.exit(e) == 0 ? 0 : 2;
    }

    auto parsedFault = vq::promo::Fault::parse(fault);
    if (!parsedFault) {
        fmt::print(stderr, "promo-server: unknown fault '{}'\n", fault);
        return 2;
    }
    vq::promo::ServerOptions options;
    options.lists.assign(lists.begin(), lists.end());
    if (!logFile.empty())
        options.logFile = logFile;
    options.fault = *parsedFault;
    if (!database.empty())
        options.database = database;
    options.storeWebHost = storeHost;

    vq::promo::PromoServer server(options);
    if (auto error = server.load()) {
        fmt::print(stderr, "promo-server: {}\n", *error);
        return 2;
    }
    auto bound = server.bind(port);
    if (!bound) {
        // One line, so a launcher can try another port.
        fmt::print(stderr, "promo-server: port {} is in use\n", port);
        return 3;
    }
    running = &server;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    fmt::print("promo-server: listening on {}\n", server.origin());
    std::fflush(stdout);
    server.listen();
    running = nullptr;
    return 0;
}
