#include "net/TempFile.h"

#include "core/Paths.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vq {

std::optional<TempFile> TempFile::createIn(const std::filesystem::path& folder)
{
    std::string pattern = (folder / ".download-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return TempFile(std::filesystem::path(name.data()), fd);
}

TempFile::~TempFile() { discard(); }

TempFile::TempFile(TempFile&& other) noexcept
    : _path(std::move(other._path)), _fd(std::exchange(other._fd, -1)), _kept(std::exchange(other._kept, true))
{
}

TempFile& TempFile::operator=(TempFile&& other) noexcept
{
    if (this != &other) {
        discard();
        _path = std::move(other._path);
        _fd = std::exchange(other._fd, -1);
        _kept = std::exchange(other._kept, true);
    }
    return *this;
}

namespace {
std::atomic<bool> gDiskFull{false};
} // namespace

void TempFile::setDiskFullForTests(bool full) { gDiskFull = full; }

bool TempFile::write(std::string_view bytes)
{
    if (gDiskFull) {
        if (!writeAll(_fd, bytes.substr(0, bytes.size() / 2)))
            return false;
        errno = ENOSPC;
        return false;
    }
    return writeAll(_fd, bytes);
}

bool TempFile::close()
{
    if (_fd < 0)
        return true;
    return ::close(std::exchange(_fd, -1)) == 0;
}

void TempFile::discard()
{
    close();
    if (!_kept && !_path.empty()) {
        std::error_code ec;
        std::filesystem::remove(_path, ec);
    }
    _kept = true;
}

} // namespace vq
