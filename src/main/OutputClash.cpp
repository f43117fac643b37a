#include "main/OutputClash.h"

#include <fmt/format.h>

#include <sys/stat.h>

#include <map>
#include <system_error>

namespace vq {

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    struct stat sa {}, sb {};
    bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
    if (hasA && hasB)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (hasA != hasB)
        return false;
    std::error_code ea, eb;
    auto ca = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ea), ea);
    auto cb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, eb), eb);
    if (ea || eb)
        return a.lexically_normal() == b.lexically_normal();
    return ca == cb;
}

std::optional<std::string> findOutputClash(const std::optional<std::filesystem::path>& script,
                                           const std::optional<std::filesystem::path>& events,
                                           const std::vector<ScriptCommand>& commands)
{
    if (script && events && sameFile(*script, *events))
        return fmt::format("velvet-quill: the events file {} is the script; name another file", events->string());

    std::string scriptName = script ? script->string() : std::string("script");
    // The first line writing each file, by kind.
    std::vector<std::pair<const ScriptCommand*, std::filesystem::path>> written;
    for (const auto& command : commands) {
        bool screenshot = command.kind == ScriptCommand::Kind::Screenshot;
        if (!screenshot && command.kind != ScriptCommand::Kind::Dump)
            continue;
        std::filesystem::path path(command.text);
        auto clash = [&](const std::string& what) {
            return fmt::format("{}:{}: '{}' is {}; name another file", scriptName, command.line, command.text, what);
        };
        if (script && sameFile(path, *script))
            return clash("the script itself");
        if (events && sameFile(path, *events))
            return clash("the events file");
        for (const auto& [earlier, earlierPath] : written)
            if (earlier->kind != command.kind && sameFile(path, earlierPath))
                return clash(fmt::format("already the {} of line {}",
                                         earlier->kind == ScriptCommand::Kind::Screenshot ? "screenshot" : "dump",
                                         earlier->line));
        written.emplace_back(&command, path);
    }
    return std::nullopt;
}

} // namespace vq
