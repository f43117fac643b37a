#pragma once

#include "main/CommandLine.h"
#include "system/Device.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

namespace vq {

// velvet-quill card "TEXT" ... -o FILE.jpg: one message styled and sent by
// the real app, headless, its picture written to FILE.
struct CardOptions {
    std::string text;
    std::optional<int> textColor; // swatch numbers of the palette
    std::optional<int> bgColor;
    std::optional<int> texture;
    std::optional<std::string> font; // an entry of the panel's font list
    DeviceProfile device = DeviceProfile::Phone;
    std::string systemVersion = "7.0";
    std::filesystem::path output;
    // A temporary folder when not given, removed afterwards.
    std::optional<std::filesystem::path> dataDir;
};

// argv[1] is "card". Bad numbers are usage errors (status 2).
std::variant<CardOptions, CommandLineExit> parseCardCommand(int argc, const char* const* argv);

// The card's option lines as its --help shows them, for the main help.
std::string cardOptionsHelp();

// 0 when FILE was written; 1 when it cannot be; 2 for an unknown font, a
// message the editor would not keep as given (too long for the card, or with
// a line break), or a step of the app that failed. FILE is written whole or
// not at all, and only with the message asked for.
int runCard(const CardOptions& options, std::ostream& errors);

} // namespace vq
