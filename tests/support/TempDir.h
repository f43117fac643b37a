#pragma once

#include <filesystem>
#include <string>

namespace vq::test {

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return _path; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return _path / p; }

private:
    std::filesystem::path _path;
};

// A whole file as bytes; empty when it cannot be read.
std::string slurp(const std::filesystem::path& path);

} // namespace vq::test
