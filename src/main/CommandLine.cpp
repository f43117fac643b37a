#include "main/CommandLine.h"

#include "core/Url.h"
#include "system/Device.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <map>
#include <sstream>

namespace vq {

namespace {

} // namespace

std::variant<LaunchOptions, CommandLineExit> parseCommandLine(int argc, const char* const* argv)
{
    LaunchOptions options;
    CLI::App cli{"Velvet Quill: style a short message and send it as a picture.", "velvet-quill"};

    const std::map<std::string, DeviceProfile> devices = {
        {"phone", DeviceProfile::Phone}, {"tall", DeviceProfile::Tall}, {"tablet", DeviceProfile::Tablet}};
    const std::map<std::string, ComposerBehaviour> composers = {{"ok", ComposerBehaviour::Ok},
                                                                {"refuse", ComposerBehaviour::Refuse},
                                                                {"none", ComposerBehaviour::None},
                                                                {"fail", ComposerBehaviour::Fail}};
    const std::map<std::string, OpenUrls> openUrls = {{"browser", OpenUrls::Browser}, {"none", OpenUrls::None}};
    std::string schemes;
    const std::map<std::string, PushBehaviour> pushes = {{"ok", PushBehaviour::Ok}, {"fail", PushBehaviour::Fail}};
    std::string server, store, adServer, dataDir, events, script;

    cli.add_option("--device", options.device, "The device the app runs as: phone, tall or tablet")
        ->transform(CLI::CheckedTransformer(devices, CLI::ignore_case));
    cli.add_option("--system-version", options.systemVersion, "The system version the app sees (X.Y)")
        ->check(systemVersionCheck());
    cli.add_option("--server", server, "The promotion server's base URL")->check(webUrl());
    cli.add_option("--store", store, "The store's base URL for product lookups (else the promotion server's)")
        ->check(webUrl());
    cli.add_option("--ad-server", adServer, "The banner network's base URL (else the promotion server's)")
        ->check(webUrl());
    cli.add_option("--push", options.push, "How push registration answers: ok or fail")
        ->transform(CLI::CheckedTransformer(pushes, CLI::ignore_case));
    cli.add_option("--data-dir", dataDir, "Keep every file of the app under this folder");
    cli.add_option("--installed-schemes", schemes, "URL schemes of the apps taken as installed (a,b,...)");
    cli.add_option("--events", events, "Append what happens to this file, one JSON object per line");
    cli.add_option("--zoom", options.zoom, "The window's zoom factor")->check(CLI::Range(0.25, 8.0));
    cli.add_option("--composer", options.composer, "How the message composer answers: ok, refuse, none or fail")
        ->transform(CLI::CheckedTransformer(composers, CLI::ignore_case));
    cli.add_flag("--headless", options.headless, "Run without a window, on a virtual clock");
    cli.add_option("--open-urls", options.openUrls,
                   "Where the window sends the http and https links the app opens: browser (the default) or none; "
                   "a headless run opens nothing")
        ->transform(CLI::CheckedTransformer(openUrls, CLI::ignore_case));
    cli.add_option("--script", script, "Run the commands of this file");

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        int status = cli.exit(e, out, err);
        // CLI11 answers 0 for --help; usage errors are ours to number.
        return CommandLineExit{status == 0 ? 0 : 2, out.str() + err.str()};
    }

    if (!server.empty())
        options.server = server;
    if (!store.empty())
        options.store = store;
    if (!adServer.empty())
        options.adServer = adServer;
    if (!dataDir.empty())
        options.dataDir = dataDir;
    if (!events.empty())
        options.eventsFile = events;
    if (!script.empty())
        options.script = script;
    std::stringstream list(schemes);
    for (std::string scheme; std::getline(list, scheme, ',');)
        if (!scheme.empty())
            options.installedSchemes.insert(scheme);
    return options;
}

CLI::Validator webUrl()
{
    return CLI::Validator(
        [](const std::string& v) {
            auto url = Url::parse(v);
            bool web = url && (url->scheme() == "http" || url->scheme() == "https") && url->host() &&
                       !url->host()->empty();
            return web ? std::string() : "not an http or https URL with a host: " + v;
        },
        "URL");
}

CLI::Validator systemVersionCheck()
{
    return CLI::Validator(
        [](const std::string& v) {
            return isSystemVersion(v) ? std::string() : "not a version MAJOR[.MINOR[.PATCH]] in decimal digits: " + v;
        },
        "X.Y");
}

CLI::Validator decimalInteger()
{
    // CLI11 reads 010 as octal and 0x10 as hexadecimal; people mean ten.
    return CLI::Validator(
        [](std::string& v) {
            if (v.empty() || v.size() > 9 || v.find_first_not_of("0123456789") != std::string::npos)
                return "not a decimal number: " + v;
            auto first = v.find_first_not_of('0');
            v = first == std::string::npos ? "0" : v.substr(first);
            return std::string();
        },
        "DECIMAL");
}

} // namespace vq
