#pragma once

#include "main/Script.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// Whether a run would write over its own input or one output over another:
// the events file or a screenshot/dump naming the script, a screenshot or
// dump naming the events file, a screenshot and a dump naming one file.
// Returns the one-line message to print ("FILE:LINE: ..." for a command).
std::optional<std::string> findOutputClash(const std::optional<std::filesystem::path>& script,
                                           const std::optional<std::filesystem::path>& events,
                                           const std::vector<ScriptCommand>& commands);

// Whether two paths name one file: the same inode when both exist (links
// followed), else the same absolute, normalised path.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace vq
