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
    CLI::App app{"Serves promotion lists, reports, store lookups, store links, pictures and banners on 127.0.0.1."};
    int port = 8737;
    std::vector<std::string> lists;
    std::string logFile, fault, storeHost = vq::build::kStoreWebHost;
    app.add_option("--port", port, "port to listen on; 0 picks a free one (printed on the first line)")
        ->check(CLI::Range(0, 65535));
    app.add_option("--list", lists, "a property list answered to the info request, in turn (repeatable)");
    app.add_option("--log", logFile, "appends one JSON line per request");
    std::string database;
    app.add_option("--db", database,
                   "keeps every info request and report in this SQLite file (made when missing) and shows them at "
                   "/stats and /stats.json");
    app.add_option("--fault", fault, "500, slow, garbage, truncated or status:N (list replies only)");
    app.add_option("--store-host", storeHost, "host that /go/ID redirects to");
    CLI11_PARSE(app, argc, argv);

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
