#include "main/CommandLine.h"

#include "main/CardCommand.h"
#include "main/Script.h"

#include "core/Url.h"
#include "system/Device.h"

#include <BuildSettings.h>
#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <charconv>
#include <map>
#include <sstream>

namespace vq {

namespace {

// The card command is parsed on its own, but one usage names both.
class UsageFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override
    {
        return CLI::Formatter::make_usage(app, std::move(name)) + "   or: velvet-quill card [OPTIONS] TEXT -o FILE.jpg\n";
    }
};

// What --help (and so the manual page) tells beyond the options.
std::string helpFooter()
{
    std::string text = "Card options:\n" + cardOptionsHelp();
    text += "\nScript commands:\n";
    for (const auto& command : scriptCommandHelp())
        text += fmt::format("  {:<26}  {}\n", command.form, command.effect);
    text += fmt::format("\nScript targets:\n  {}, tag N, tag N in M, row R in M, credits R in M\n",
                        fmt::join(scriptTargetNames(), ", "));
    text += "\nExit status:\n"
            "  0  The script ran to its end, the window was closed, or the card was written\n"
            "  1  The data folder, the events file, the window or the card's file cannot be used\n"
            "  2  A usage error, no display for a window, a script that cannot be read or run, or a card "
            "the editor would not keep as asked\n";
    return text;
}

} // namespace

std::variant<LaunchOptions, CommandLineExit> parseCommandLine(int argc, const char* const* argv)
{
    LaunchOptions options;
    CLI::App cli{"Velvet Quill: style a short message and send it as a picture.", "velvet-quill"};
    cli.formatter(std::make_shared<UsageFormatter>());
    cli.set_version_flag("--version", fmt::format("velvet-quill {}", build::kVersion));
    cli.footer(helpFooter);

    const std::map<std::string, ComposerBehaviour> composers = {{"ok", ComposerBehaviour::Ok},
                                                                {"refuse", ComposerBehaviour::Refuse},
                                                                {"none", ComposerBehaviour::None},
                                                                {"fail", ComposerBehaviour::Fail}};
    const std::map<std::string, OpenUrls> openUrls = {{"browser", OpenUrls::Browser}, {"none", OpenUrls::None}};
    std::string schemes;
    const std::map<std::string, PushBehaviour> pushes = {{"ok", PushBehaviour::Ok}, {"fail", PushBehaviour::Fail}};
    std::string server, store, adServer, dataDir, events, script;

    addDeviceOptions(cli, options.device, options.systemVersion);
    cli.add_option("--server", server, "The promotion server's base URL")->check(webUrl())->option_text("URL");
    cli.add_option("--store", store, "The store's base URL for product lookups (else the promotion server's)")
        ->check(webUrl())
        ->option_text("URL");
    cli.add_option("--ad-server", adServer, "The banner network's base URL (else the promotion server's)")
        ->check(webUrl())
        ->option_text("URL");
    cli.add_option("--push", options.push, "How push registration answers (default ok)")
        ->transform(CLI::CheckedTransformer(pushes, CLI::ignore_case))
        ->option_text("ok|fail");
    cli.add_option("--data-dir", dataDir, "Keep every file of the app under this folder (else the XDG folders)")
        ->option_text("DIR");
    cli.add_option("--installed-schemes", schemes, "URL schemes of the apps taken as installed, comma-separated")
        ->option_text("SCHEMES");
    cli.add_option("--events", events, "Append what happens to this file, one JSON object per line")
        ->option_text("FILE");
    cli.add_option("--zoom", options.zoom, "The window's pixels per point, 0.25 to 8")
        ->check(CLI::Range(0.25, 8.0))
        ->option_text("N");
    cli.add_option("--composer", options.composer, "How the message composer answers (default ok)")
        ->transform(CLI::CheckedTransformer(composers, CLI::ignore_case))
        ->option_text("ok|refuse|none|fail");
    cli.add_flag("--headless", options.headless, "Run without a window, on a virtual clock");
    cli.add_option("--open-urls", options.openUrls,
                   "Where the window sends the http and https links the app opens (default browser); "
                   "a headless run opens nothing")
        ->transform(CLI::CheckedTransformer(openUrls, CLI::ignore_case))
        ->option_text("browser|none");
    cli.add_option("--script", script, "Run the commands of this file (see Script commands)")->option_text("FILE");

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

void addDeviceOptions(CLI::App& cli, DeviceProfile& device, std::string& systemVersion)
{
    const std::map<std::string, DeviceProfile> devices = {
        {"phone", DeviceProfile::Phone}, {"tall", DeviceProfile::Tall}, {"tablet", DeviceProfile::Tablet}};
    cli.add_option("--device", device, "The device the app runs as (default phone)")
        ->transform(CLI::CheckedTransformer(devices, CLI::ignore_case))
        ->option_text("phone|tall|tablet");
    cli.add_option("--system-version", systemVersion, "The system version the app sees (default 7.0)")
        ->check(systemVersionCheck())
        ->option_text("X.Y");
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
