#include "main/CommandLine.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <map>
#include <sstream>

namespace vq {

namespace {

// "X" or "X.Y" with digits only.
bool isVersion(const std::string& text)
{
    auto dot = text.find('.');
    auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dot == std::string::npos)
        return digits(text);
    return digits(std::string_view(text).substr(0, dot)) && digits(std::string_view(text).substr(dot + 1));
}

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
    std::string schemes;
    std::string server, dataDir, events, script;

    cli.add_option("--device", options.device, "The device the app runs as: phone, tall or tablet")
        ->transform(CLI::CheckedTransformer(devices, CLI::ignore_case));
    cli.add_option("--system-version", options.systemVersion, "The system version the app sees (X.Y)")
        ->check([](const std::string& v) { return isVersion(v) ? std::string() : "not a version X.Y: " + v; });
    cli.add_option("--server", server, "The promotion server's base URL");
    cli.add_option("--data-dir", dataDir, "Keep every file of the app under this folder");
    cli.add_option("--installed-schemes", schemes, "URL schemes of the apps taken as installed (a,b,...)");
    cli.add_option("--events", events, "Append what happens to this file, one JSON object per line");
    cli.add_option("--zoom", options.zoom, "The window's zoom factor")->check(CLI::Range(0.25, 8.0));
    cli.add_option("--composer", options.composer, "How the message composer answers: ok, refuse, none or fail")
        ->transform(CLI::CheckedTransformer(composers, CLI::ignore_case));
    cli.add_flag("--headless", options.headless, "Run without a window, on a virtual clock");
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

} // namespace vq
