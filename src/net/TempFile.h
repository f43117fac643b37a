#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace vq {

// A new file with a unique name, removed when this goes away unless kept.
// Move-only.
class TempFile {
public:
    // A hidden file in folder with a short name of fixed length, so that any
    // name the folder allows can be the final one; nullopt when it cannot be created.
    static std::optional<TempFile> createIn(const std::filesystem::path& folder);

    ~TempFile();
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& path() const { return _path; }
    bool write(std::string_view bytes);
    bool close();
    // The file now belongs elsewhere (it was moved into place).
    void keep() { _kept = true; }

    // Tests only: every later write stops halfway as if the disk were full.
    static void setDiskFullForTests(bool full);

private:
    TempFile(std::filesystem::path path, int fd) : _path(std::move(path)), _fd(fd) {}
    void discard();

    std::filesystem::path _path;
    int _fd = -1;
    bool _kept = false;
};

} // namespace vq
