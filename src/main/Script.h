#pragma once

#include "core/Geometry.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vq {

// What a script command aims at: a named control, a tagged view, or a table row.
struct ScriptTarget {
    enum class Kind { Named, Tag, TagIn, RowIn, CreditsIn };
    Kind kind = Kind::Named;
    std::string name; // Named: send, info, clear, random, message, composer-send, ...
    int tag = 0;      // Tag, TagIn: the view's tag; RowIn, CreditsIn: the row
    int container = 0; // TagIn, RowIn, CreditsIn: the tag of the view searched in

    friend bool operator==(const ScriptTarget&, const ScriptTarget&) = default;
};

struct ScriptCommand {
    enum class Kind { TapPoint, TapTarget, Drag, Type, Paste, Key, Alert, Wait, Settle, Background, Foreground, Screenshot, Dump };
    Kind kind;
    int line = 0;
    Point from; // TapPoint, Drag
    Point to;   // Drag
    ScriptTarget target;
    std::string text; // Type, Paste, Key (return|backspace), Screenshot/Dump path
    double seconds = 0;
    int index = 0; // Alert
};

// The longest `wait`: a day of virtual time is more than any run needs.
inline constexpr double kMaxWaitSeconds = 86400;

struct ScriptError {
    int line;
    std::string message;
};

// One command per line; "#" starts a comment outside quotes; strings are
// double-quoted with \n, \t, \" and \\ escapes.
std::variant<std::vector<ScriptCommand>, ScriptError> parseScript(std::string_view text);

// Reads and parses a script file. On failure writes one line naming the
// file (and the line) to errors and returns nullopt.
std::optional<std::vector<ScriptCommand>> loadScriptFile(const std::string& path, std::ostream& errors);

// The names `tap TARGET` accepts.
const std::vector<std::string>& scriptTargetNames();

// Every command a script may hold, for --help and the manual: its form and what it does.
struct ScriptCommandHelp {
    std::string form;
    std::string effect;
};
const std::vector<ScriptCommandHelp>& scriptCommandHelp();

} // namespace vq
