#include "main/Script.h"

#include "core/Paths.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

namespace vq {

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

std::variant<std::vector<Token>, std::string> tokenize(std::string_view line)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        if (c == '"') {
            Token t{"", true};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size())
                        return std::string("a backslash ends the line");
                    char e = line[i++];
                    switch (e) {
                    case 'n': t.text.push_back('\n'); break;
                    case 't': t.text.push_back('\t'); break;
                    case '"': t.text.push_back('"'); break;
                    case '\\': t.text.push_back('\\'); break;
                    default: return fmt::format("unknown escape \\{}", e);
                    }
                } else {
                    t.text.push_back(d);
                }
            }
            if (!closed)
                return std::string("a string is not closed");
            tokens.push_back(std::move(t));
            continue;
        }
        std::size_t end = line.find_first_of(" \t\r#\"", i);
        if (end == std::string_view::npos)
            end = line.size();
        tokens.push_back({std::string(line.substr(i, end - i)), false});
        i = end;
    }
    return tokens;
}

std::optional<double> number(const Token& t)
{
    if (t.quoted || t.text.empty())
        return std::nullopt;
    double v = 0;
    auto [p, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
    if (ec != std::errc() || p != t.text.data() + t.text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> integer(const Token& t)
{
    if (t.quoted || t.text.empty())
        return std::nullopt;
    int v = 0;
    auto [p, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
    if (ec != std::errc() || p != t.text.data() + t.text.size())
        return std::nullopt;
    return v;
}

std::variant<ScriptTarget, std::string> parseTarget(const std::vector<Token>& args)
{
    const auto& names = scriptTargetNames();
    if (args.size() == 1 && !args[0].quoted) {
        if (std::find(names.begin(), names.end(), args[0].text) != names.end())
            return ScriptTarget{ScriptTarget::Kind::Named, args[0].text, 0, 0};
        return fmt::format("unknown target '{}'", args[0].text);
    }
    auto word = [&](std::size_t i, const char* w) { return i < args.size() && !args[i].quoted && args[i].text == w; };
    if ((word(0, "tag") || word(0, "row")) && args.size() >= 2) {
        auto n = integer(args[1]);
        if (!n)
            return fmt::format("'{}' is not a number", args[1].text);
        bool row = word(0, "row");
        if (args.size() == 2 && !row)
            return ScriptTarget{ScriptTarget::Kind::Tag, "", *n, 0};
        if (args.size() == 4 && word(2, "in")) {
            auto m = integer(args[3]);
            if (!m)
                return fmt::format("'{}' is not a number", args[3].text);
            return ScriptTarget{row ? ScriptTarget::Kind::RowIn : ScriptTarget::Kind::TagIn, "", *n, *m};
        }
    }
    // The credits button of a reward row.
    if (word(0, "credits") && args.size() == 4 && word(2, "in")) {
        auto n = integer(args[1]);
        if (!n)
            return fmt::format("'{}' is not a number", args[1].text);
        auto m = integer(args[3]);
        if (!m)
            return fmt::format("'{}' is not a number", args[3].text);
        return ScriptTarget{ScriptTarget::Kind::CreditsIn, "", *n, *m};
    }
    std::string all;
    for (auto& a : args)
        all += (all.empty() ? "" : " ") + a.text;
    return fmt::format("unknown target '{}'", all);
}

std::variant<ScriptCommand, std::string> parseCommand(const std::vector<Token>& tokens)
{
    const std::string& name = tokens[0].text;
    std::vector<Token> args(tokens.begin() + 1, tokens.end());
    ScriptCommand c{};
    auto need = [&](std::size_t n) -> std::optional<std::string> {
        if (args.size() != n)
            return fmt::format("'{}' takes {} argument{}", name, n, n == 1 ? "" : "s");
        return std::nullopt;
    };
    if (tokens[0].quoted)
        return fmt::format("unknown command \"{}\"", name);

    if (name == "tap") {
        if (args.size() == 2 && number(args[0]) && number(args[1])) {
            c.kind = ScriptCommand::Kind::TapPoint;
            c.from = {*number(args[0]), *number(args[1])};
            return c;
        }
        if (args.empty())
            return std::string("'tap' needs a point or a target");
        auto t = parseTarget(args);
        if (auto* err = std::get_if<std::string>(&t))
            return *err;
        c.kind = ScriptCommand::Kind::TapTarget;
        c.target = std::get<ScriptTarget>(t);
        return c;
    }
    if (name == "drag") {
        if (auto e = need(4))
            return *e;
        double v[4];
        for (std::size_t i = 0; i < 4; ++i) {
            auto n = number(args[i]);
            if (!n)
                return fmt::format("'{}' is not a number", args[i].text);
            v[i] = *n;
        }
        c.kind = ScriptCommand::Kind::Drag;
        c.from = {v[0], v[1]};
        c.to = {v[2], v[3]};
        return c;
    }
    if (name == "type" || name == "paste") {
        if (auto e = need(1))
            return *e;
        c.kind = name == "type" ? ScriptCommand::Kind::Type : ScriptCommand::Kind::Paste;
        c.text = args[0].text;
        return c;
    }
    if (name == "key") {
        if (auto e = need(1))
            return *e;
        if (args[0].text != "return" && args[0].text != "backspace")
            return fmt::format("unknown key '{}' (return or backspace)", args[0].text);
        c.kind = ScriptCommand::Kind::Key;
        c.text = args[0].text;
        return c;
    }
    if (name == "alert") {
        if (auto e = need(1))
            return *e;
        auto n = integer(args[0]);
        if (!n || *n < 0)
            return fmt::format("'{}' is not a button index", args[0].text);
        c.kind = ScriptCommand::Kind::Alert;
        c.index = *n;
        return c;
    }
    if (name == "wait") {
        if (auto e = need(1))
            return *e;
        auto n = number(args[0]);
        if (!n || *n < 0)
            return fmt::format("'{}' is not a number of seconds", args[0].text);
        if (*n > kMaxWaitSeconds)
            return fmt::format("'{}' seconds is longer than a day ({} s), the longest wait", args[0].text,
                               kMaxWaitSeconds);
        c.kind = ScriptCommand::Kind::Wait;
        c.seconds = *n;
        return c;
    }
    if (name == "settle") {
        if (auto e = need(0))
            return *e;
        c.kind = ScriptCommand::Kind::Settle;
        return c;
    }
    if (name == "background" || name == "foreground") {
        if (auto e = need(0))
            return *e;
        c.kind = name == "background" ? ScriptCommand::Kind::Background : ScriptCommand::Kind::Foreground;
        return c;
    }
    if (name == "screenshot" || name == "dump") {
        if (auto e = need(1))
            return *e;
        c.kind = name == "screenshot" ? ScriptCommand::Kind::Screenshot : ScriptCommand::Kind::Dump;
        c.text = args[0].text;
        if (c.text.empty())
            return fmt::format("'{}' needs a file name", name);
        return c;
    }
    return fmt::format("unknown command '{}'", name);
}

} // namespace

const std::vector<std::string>& scriptTargetNames()
{
    static const std::vector<std::string> names = {"send",          "info",          "clear",          "random",
                                                   "message",       "composer-send", "composer-cancel", "store-done",
                                                   "ad-close",      "ad-get",        "ad-mask",         "ad-icon",
                                                   "ad-back",       "ad-help",       "help-close",      "help-mask"};
    return names;
}

const std::vector<ScriptCommandHelp>& scriptCommandHelp()
{
    static const std::vector<ScriptCommandHelp> commands = {
        {"tap X Y", "A touch down and up at that point, in points"},
        {"tap TARGET", "The same at a target's centre, scrolled into view first as a user would"},
        {"drag X1 Y1 X2 Y2", "A drag (scrolls boards, the texture grid and the font list)"},
        {"type \"TEXT\"", "Key by key into the focused text view (\\n is Return)"},
        {"paste \"TEXT\"", "One edit inserting the whole text"},
        {"key return|backspace", "One key"},
        {"alert N", "Taps button N of the alert on screen (0 is the cancel button)"},
        {"wait SECONDS", "Lets time pass, at most a day; delivers what the network has sent by then"},
        {"settle", "Waits in real time until no request is in flight (at most 30 s)"},
        {"background", "The app leaves"},
        {"foreground", "The app comes back"},
        {"screenshot FILE.png", "Renders every window at the device's scale"},
        {"dump FILE.json", "Writes the view tree of every window"},
    };
    return commands;
}

std::variant<std::vector<ScriptCommand>, ScriptError> parseScript(std::string_view text)
{
    std::vector<ScriptCommand> commands;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        ++lineNumber;
        auto tokens = tokenize(text.substr(start, end - start));
        if (auto* err = std::get_if<std::string>(&tokens))
            return ScriptError{lineNumber, *err};
        auto& list = std::get<std::vector<Token>>(tokens);
        if (!list.empty()) {
            auto parsed = parseCommand(list);
            if (auto* err = std::get_if<std::string>(&parsed))
                return ScriptError{lineNumber, *err};
            auto command = std::get<ScriptCommand>(parsed);
            command.line = lineNumber;
            commands.push_back(std::move(command));
        }
        if (end == text.size())
            break;
        start = end + 1;
    }
    return commands;
}

std::optional<std::vector<ScriptCommand>> loadScriptFile(const std::string& path, std::ostream& errors)
{
    std::string readError;
    auto text = readFile(path, &readError);
    if (!text) {
        errors << "velvet-quill: " << readError << " (the script)\n";
        return std::nullopt;
    }
    // Editors on some systems start a UTF-8 file with a byte-order mark.
    std::string_view body = *text;
    if (body.starts_with("\xEF\xBB\xBF"))
        body.remove_prefix(3);
    auto parsed = parseScript(body);
    if (auto* error = std::get_if<ScriptError>(&parsed)) {
        errors << path << ":" << error->line << ": " << error->message << "\n";
        return std::nullopt;
    }
    return std::move(std::get<std::vector<ScriptCommand>>(parsed));
}

} // namespace vq
