#pragma once

#include "main/LaunchOptions.h"

#include <string>
#include <variant>

namespace vq {

// What the command line asks for: options to run with, or an exit right away
// (help, or a usage error) with the text to print.
struct CommandLineExit {
    int status;
    std::string message;
};

std::variant<LaunchOptions, CommandLineExit> parseCommandLine(int argc, const char* const* argv);

} // namespace vq
