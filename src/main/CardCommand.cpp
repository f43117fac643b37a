#include "main/CardCommand.h"

#include "main/CommandLine.h"
#include "main/EditorTargets.h"
#include "main/HeadlessHost.h"
#include "main/ScriptRunner.h"

#include "app/AppDelegate.h"
#include "app/MessageFit.h"
#include "app/ViewController.h"
#include "core/Paths.h"
#include "graphics/Graphemes.h"
#include "options/OptionsView.h"
#include "options/StyleCatalogue.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace vq {

namespace {

ScriptCommand tapTag(int tag, int container = 0)
{
    ScriptCommand command;
    command.kind = ScriptCommand::Kind::TapTarget;
    command.target.kind = container ? ScriptTarget::Kind::TagIn : ScriptTarget::Kind::Tag;
    command.target.tag = tag;
    command.target.container = container;
    return command;
}

ScriptCommand tapNamed(const std::string& name)
{
    ScriptCommand command;
    command.kind = ScriptCommand::Kind::TapTarget;
    command.target.name = name;
    return command;
}

ScriptCommand tapRow(int row, int table)
{
    ScriptCommand command;
    command.kind = ScriptCommand::Kind::TapTarget;
    command.target.kind = ScriptTarget::Kind::RowIn;
    command.target.tag = row;
    command.target.container = table;
    return command;
}

ScriptCommand typeText(const std::string& text)
{
    ScriptCommand command;
    command.kind = ScriptCommand::Kind::Type;
    command.text = text;
    return command;
}

ScriptCommand wait(double seconds)
{
    ScriptCommand command;
    command.kind = ScriptCommand::Kind::Wait;
    command.seconds = seconds;
    return command;
}

std::size_t characterCount(const std::string& text) { return graphemeBoundaries(text).size() - 1; }

// Why the message the editor kept is not the one asked for.
std::string whyNotKept(const std::string& asked, const std::string& kept)
{
    if (asked.find_first_of("\r\n") != std::string::npos)
        return "the message cannot hold a line break: Return ends editing in the editor";
    if (kept.size() < asked.size() && asked.compare(0, kept.size(), kept) == 0)
        return fmt::format("the message is too long for the card: only its first {} of {} characters fit (\"{}\")",
                           characterCount(kept), characterCount(asked), kept);
    return fmt::format("the editor changed the message to \"{}\"", kept);
}

// Removes the temporary data folder when the run ends.
struct TemporaryFolder {
    std::filesystem::path path;
    ~TemporaryFolder()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
};

std::optional<int> fontRow(const std::vector<std::string>& list, const std::string& name)
{
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    for (std::size_t i = 0; i < list.size(); ++i)
        if (lower(list[i]) == lower(name))
            return static_cast<int>(i);
    return std::nullopt;
}

// Why the output's folder cannot take a file, if it cannot; never throws,
// whatever the path holds (over-long names, link loops, no permission).
std::optional<std::string> checkOutputFolder(const std::filesystem::path& output)
{
    auto folder = output.parent_path();
    if (folder.empty())
        return std::nullopt;
    std::error_code ec;
    auto status = std::filesystem::status(folder, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return fmt::format("the folder {} does not exist", folder.string());
    if (ec)
        return fmt::format("{}: {}", folder.string(), ec.message());
    if (status.type() != std::filesystem::file_type::directory)
        return fmt::format("{} is not a folder", folder.string());
    return std::nullopt;
}

} // namespace

std::variant<CardOptions, CommandLineExit> parseCardCommand(int argc, const char* const* argv)
{
    CardOptions options;
    CLI::App cli{"Style one message, send it and write its picture.", "velvet-quill card"};
    auto swatches = CLI::Range(1, StyleCatalogue::swatchCount, "a swatch number");
    std::string dataDir, output, font;

    cli.add_option("text", options.text, "The message")->required();
    cli.add_option("--text-color", options.textColor,
                   fmt::format("Text colour: swatch 1 to {}", StyleCatalogue::swatchCount))
        ->transform(decimalInteger())
        ->check(swatches)
        ->option_text("N");
    auto bg = cli.add_option("--bg-color", options.bgColor,
                             fmt::format("Background colour: swatch 1 to {} (not with --texture)", StyleCatalogue::swatchCount))
                  ->transform(decimalInteger())
                  ->check(swatches)
                  ->option_text("N");
    cli.add_option("--texture", options.texture,
                   fmt::format("Background texture 1 to {} (not with --bg-color)", StyleCatalogue::textureCount()))
        ->transform(decimalInteger())
        ->check(CLI::Range(1, StyleCatalogue::textureCount(), "a texture number"))
        ->excludes(bg)
        ->option_text("N");
    cli.add_option("--font", font, "A font as the font list names it")->option_text("NAME");
    addDeviceOptions(cli, options.device, options.systemVersion);
    cli.add_option("--data-dir", dataDir, "Keep the app's files under this folder (else a temporary one)")
        ->option_text("DIR");
    cli.add_option("-o,--output", output, "The JPEG file to write")->required()->option_text("FILE.jpg");

    try {
        // argv[1] is the word "card".
        std::vector<std::string> args(argv + 2, argv + argc);
        std::reverse(args.begin(), args.end());
        cli.parse(args);
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        int status = cli.exit(e, out, err);
        return CommandLineExit{status == 0 ? 0 : 2, out.str() + err.str()};
    }
    options.output = output;
    if (!font.empty())
        options.font = font;
    if (!dataDir.empty())
        options.dataDir = dataDir;
    return options;
}

std::string cardOptionsHelp()
{
    const char* argv[] = {"velvet-quill", "card", "--help"};
    auto help = std::get<CommandLineExit>(parseCardCommand(3, argv)).message;
    // Its own lines after "Options:", less --help, which the main help has.
    auto options = help.substr(help.find("Options:\n") + 9);
    std::string lines;
    std::istringstream in(options);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.find("--help") == std::string::npos)
            lines += line + "\n";
    return lines;
}

int runCard(const CardOptions& options, std::ostream& errors)
{
    if (auto error = checkOutputFolder(options.output)) {
        errors << "velvet-quill: cannot write " << options.output.string() << ": " << *error << "\n";
        return 1;
    }

    TemporaryFolder temporary;
    LaunchOptions launch;
    launch.device = options.device;
    launch.systemVersion = options.systemVersion;
    launch.headless = true;
    launch.network = false;
    if (options.dataDir) {
        launch.dataDir = options.dataDir;
    } else {
        std::error_code ec;
        auto tmp = std::filesystem::temp_directory_path(ec);
        std::string pattern = ((ec ? std::filesystem::path("/tmp") : tmp) / "velvet-quill-card-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            errors << "velvet-quill: cannot make a temporary data folder\n";
            return 1;
        }
        temporary.path = pattern;
        launch.dataDir = temporary.path;
        launch.scratchData = true;
    }

    HeadlessHost host(launch, [] { return std::make_shared<app::AppDelegate>(); }, editorTargets);
    if (auto status = host.launch(errors))
        return *status;
    auto* delegate = dynamic_cast<app::AppDelegate*>(host.delegate().get());
    auto editor = delegate ? delegate->viewController() : nullptr;
    if (!editor) {
        errors << "velvet-quill: the editor did not start\n";
        return 2;
    }

    std::vector<ScriptCommand> commands;
    if (options.textColor) {
        commands.push_back(tapTag(OptionsView::kTextColorButtonTag));
        commands.push_back(tapTag(*options.textColor, OptionsView::kTextColorViewTag));
    }
    if (options.bgColor) {
        commands.push_back(tapTag(OptionsView::kBgColorButtonTag));
        commands.push_back(tapTag(*options.bgColor, OptionsView::kBgColorViewTag));
    }
    if (options.texture) {
        commands.push_back(tapTag(OptionsView::kTextureButtonTag));
        commands.push_back(tapTag(*options.texture, OptionsView::kTextureViewTag));
    }
    if (options.font) {
        const auto& list = editor->optionsView()->fontArray();
        auto row = fontRow(list, *options.font);
        if (!row) {
            errors << fmt::format("velvet-quill: unknown font \"{}\"; the font list has {} entries: \"{}\"\n",
                                  *options.font, list.size(), fmt::join(list, "\", \""));
            return 2;
        }
        commands.push_back(tapTag(OptionsView::kFontTableButtonTag));
        commands.push_back(tapRow(*row, OptionsView::kFontTableViewTag));
    }
    if (!options.text.empty()) {
        commands.push_back(tapNamed("message"));
        commands.push_back(typeText(options.text));
        // As for a user: an edit past the limit is taken back a moment later.
        commands.push_back(wait(1));
    }
    for (std::size_t i = 0; i < commands.size(); ++i)
        commands[i].line = static_cast<int>(i + 1);

    ScriptRunner runner(host.targets(), "card", errors);
    if (int status = runner.run(commands))
        return status;
    const std::string& kept = editor->textView()->text();
    if (kept != options.text) {
        errors << "velvet-quill: " << whyNotKept(options.text, kept) << "; no card written\n";
        return 2;
    }
    ScriptCommand send = tapNamed("send");
    send.line = static_cast<int>(commands.size() + 1);
    if (int status = runner.runCommand(send))
        return status;

    // From 7.0 the composer has it; before, or when it refused, the pasteboard.
    std::optional<std::vector<std::uint8_t>> picture;
    if (auto composer = std::dynamic_pointer_cast<MessageComposer>(editor->presentedViewController());
        composer && !composer->attachments().empty())
        picture = composer->attachments().back().data;
    else
        picture = Pasteboard::general().dataForType(Pasteboard::typeListImage().front());
    if (!picture) {
        errors << "velvet-quill: the app handed over no picture\n";
        return 2;
    }
    if (auto error = writeFileAtomically(options.output,
                                         std::string_view(reinterpret_cast<const char*>(picture->data()), picture->size()),
                                         Durability::OverOldOnly)) {
        errors << "velvet-quill: " << *error << "\n";
        return 1;
    }
    return 0;
}

} // namespace vq
