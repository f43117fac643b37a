#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vq::layers {

// Which folders each folder's files may include, besides their own; folders
// are paths from the checkout's root, such as "src/ui".
struct Table {
    std::map<std::string, std::set<std::string>> mayInclude;
};

struct TableOrError {
    std::optional<Table> table;
    std::string error; // "file:line: why" when the table does not read
};

// Lines "folder: folder folder ...", '#' to the end of a line a comment.
TableOrError parseTable(const std::string& text, const std::string& name);
TableOrError readTable(const std::filesystem::path& file);

// An #include "..." the table does not allow, or that names no file.
struct Violation {
    std::string file; // from the root
    int line = 0;
    std::string why;
    std::string toString() const { return file + ":" + std::to_string(line) + ": " + why; }
};

// The folders whose sources are read; an include is looked for next to the
// file first, then under each of these.
inline const std::vector<std::string> kSourceFolders{"src", "tools", "tests", "bench", "fuzz"};
inline const std::vector<std::string> kIncludeRoots{"src", "tools", "tests"};

// Every .h, .hpp and .cpp file under the source folders of root, in path order.
std::vector<Violation> check(const std::filesystem::path& root, const Table& table);

} // namespace vq::layers
