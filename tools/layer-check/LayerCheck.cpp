#include "layer-check/LayerCheck.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

namespace vq::layers {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

std::string folderOf(const fs::path& relativeFile) { return relativeFile.parent_path().generic_string(); }

bool isSource(const fs::path& p)
{
    auto ext = p.extension();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp";
}

// The folder, from the root, of the file an include names; nullopt when it names none.
std::optional<std::string> resolve(const fs::path& root, const std::string& includer, const std::string& name)
{
    if (fs::is_regular_file(root / includer / name))
        return folderOf(fs::path(includer) / name);
    for (const auto& base : kIncludeRoots)
        if (fs::is_regular_file(root / base / name))
            return folderOf(fs::path(base) / name);
    return std::nullopt;
}

} // namespace

TableOrError parseTable(const std::string& text, const std::string& name)
{
    Table table;
    std::istringstream in(text);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        line = line.substr(0, line.find('#'));
        if (words(line).empty())
            continue;
        auto colon = line.find(':');
        auto head = words(line.substr(0, colon));
        if (colon == std::string::npos || head.size() != 1)
            return {std::nullopt, name + ":" + std::to_string(number) + ": expected \"folder: folders it may include\""};
        if (table.mayInclude.contains(head[0]))
            return {std::nullopt, name + ":" + std::to_string(number) + ": " + head[0] + " has a line already"};
        auto& allowed = table.mayInclude[head[0]];
        for (auto& folder : words(line.substr(colon + 1)))
            allowed.insert(folder);
    }
    return {std::move(table), {}};
}

TableOrError readTable(const fs::path& file)
{
    std::ifstream in(file);
    if (!in)
        return {std::nullopt, file.string() + ": cannot be read"};
    std::stringstream text;
    text << in.rdbuf();
    return parseTable(text.str(), file.string());
}

std::vector<Violation> check(const fs::path& root, const Table& table)
{
    std::vector<fs::path> files;
    for (const auto& base : kSourceFolders) {
        if (!fs::is_directory(root / base))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(root / base))
            if (entry.is_regular_file() && isSource(entry.path()))
                files.push_back(fs::relative(entry.path(), root));
    }
    std::sort(files.begin(), files.end());

    static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::vector<Violation> violations;
    for (const auto& file : files) {
        std::string folder = folderOf(file);
        auto rule = table.mayInclude.find(folder);
        std::ifstream in(root / file);
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            std::smatch m;
            if (!std::regex_search(line, m, include))
                continue;
            std::string name = m[1];
            Violation v{file.generic_string(), number, {}};
            auto target = resolve(root, folder, name);
            if (!target)
                v.why = "includes \"" + name + "\", which names no file beside it or under src/, tools/ or tests/";
            else if (*target == folder)
                continue;
            else if (rule == table.mayInclude.end())
                v.why = folder + " has no line in the table of layers, so it may include nothing outside itself";
            else if (!rule->second.contains(*target))
                v.why = "includes \"" + name + "\" from " + *target + ", which " + folder + " may not include";
            else
                continue;
            violations.push_back(std::move(v));
        }
    }
    return violations;
}

} // namespace vq::layers
