#pragma once

#include "main/LaunchOptions.h"

#include <string>
#include <variant>

namespace CLI {
class App;
class Validator;
}

namespace vq {

// What the command line asks for: options to run with, or an exit right away
// (help, or a usage error) with the text to print.
struct CommandLineExit {
    int status;
    std::string message;
};

std::variant<LaunchOptions, CommandLineExit> parseCommandLine(int argc, const char* const* argv);

// Option checks both command lines share: a system version MAJOR[.MINOR[.PATCH]];
// an integer in decimal digits only (leading zeros dropped, no octal or hex).
CLI::Validator systemVersionCheck();
CLI::Validator decimalInteger();
// An http or https URL with a host.
CLI::Validator webUrl();
// --device and --system-version, as both command lines take them.
void addDeviceOptions(CLI::App& cli, DeviceProfile& device, std::string& systemVersion);

} // namespace vq
