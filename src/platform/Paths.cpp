#include "platform/Paths.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace vq {

namespace {

std::optional<std::filesystem::path>& dataRoot()
{
    static std::optional<std::filesystem::path> root;
    return root;
}

std::filesystem::path xdg(const char* var, const char* fallback)
{
    if (const char* v = std::getenv(var); v && *v)
        return std::filesystem::path(v) / "velvet-quill";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / fallback / "velvet-quill";
}

} // namespace

void Paths::setDataRoot(const std::filesystem::path& root) { dataRoot() = root; }

void Paths::resetToDefaults() { dataRoot().reset(); }

std::filesystem::path Paths::dataDir()
{
    if (dataRoot())
        return *dataRoot() / "data";
    return xdg("XDG_DATA_HOME", ".local/share");
}

std::filesystem::path Paths::cacheDir()
{
    if (dataRoot())
        return *dataRoot() / "caches";
    return xdg("XDG_CACHE_HOME", ".cache");
}

std::optional<std::string> Paths::ensureDirectory(const std::filesystem::path& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir))
        return fmt::format("cannot create the folder {}: {}", dir.string(), ec ? ec.message() : "not a folder");
    return std::nullopt;
}

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes)
{
    auto dir = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::string tmpl = (dir / fmt::format(".{}.XXXXXX", path.filename().string())).string();
    int fd = mkstemp(tmpl.data());
    if (fd < 0)
        return fmt::format("cannot write {}: {}", path.string(), std::strerror(errno));
    if (!writeAll(fd, bytes)) {
        int err = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        return fmt::format("cannot write {}: {}", path.string(), std::strerror(err));
    }
    // Files that must survive reach the disk before they replace the old one.
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(tmpl.c_str());
        return fmt::format("cannot write {}: {}", path.string(), std::strerror(err));
    }
    ::chmod(tmpl.c_str(), 0644);
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmpl.c_str());
        return fmt::format("cannot move {} into place: {}", path.string(), std::strerror(err));
    }
    return std::nullopt;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::optional<std::string> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return std::move(out).str();
}

} // namespace vq
