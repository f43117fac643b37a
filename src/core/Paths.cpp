#include "core/Paths.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <cstdio>
#include <csignal>
#include <mutex>
#include <string_view>
#include <variant>
#include <unistd.h>

namespace vq {

namespace {

std::optional<std::filesystem::path>& dataRoot()
{
    static std::optional<std::filesystem::path> root;
    return root;
}

// The data root when it is scratch, as a path text without a trailing slash.
std::string& scratchRoot()
{
    static std::string root;
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

void Paths::setDataRoot(const std::filesystem::path& root, bool scratch)
{
    dataRoot() = root;
    scratchRoot().clear();
    if (scratch) {
        std::error_code ec;
        auto real = std::filesystem::weakly_canonical(std::filesystem::absolute(root, ec), ec);
        scratchRoot() = (ec ? root : real).lexically_normal().string();
        while (scratchRoot().size() > 1 && scratchRoot().ends_with('/'))
            scratchRoot().pop_back();
    }
}

bool Paths::isScratch(const std::filesystem::path& path)
{
    const std::string& root = scratchRoot();
    const std::string& text = path.native();
    return !root.empty() && text.size() > root.size() && text.starts_with(root) && text[root.size()] == '/';
}

void Paths::resetToDefaults()
{
    dataRoot().reset();
    scratchRoot().clear();
}

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
    if (ec)
        return fmt::format("cannot create the folder {}: {}", dir.string(), ec.message());
    if (!std::filesystem::is_directory(dir, ec))
        return fmt::format("cannot create the folder {}: {}", dir.string(), ec ? ec.message() : "not a folder");
    return std::nullopt;
}

namespace {

// The process's umask, read without changing it where the kernel tells it.
mode_t currentUmask()
{
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

std::string failure(const char* verb, const std::filesystem::path& path, int err)
{
    return fmt::format("cannot {} {}: {}", verb, path.string(), std::strerror(err));
}

// Where writing to path really lands: a symbolic link is followed to its
// target (which need not exist yet), so the link itself is kept.
std::variant<std::filesystem::path, std::string> resolveLinks(const std::filesystem::path& path)
{
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno == ENOENT)
                return current;
            return failure("write", path, errno);
        }
        if (!S_ISLNK(st.st_mode))
            return current;
        std::error_code ec;
        auto target = std::filesystem::read_symlink(current, ec);
        if (ec)
            return fmt::format("cannot write {}: {}", path.string(), ec.message());
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return failure("write", path, ELOOP);
}

std::optional<std::string> writeInto(const std::filesystem::path& path, std::string_view bytes)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failure("write", path, errno);
    bool ok = writeAll(fd, bytes);
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok)
        return failure("write", path, err);
    return std::nullopt;
}

struct FaultSetting {
    WriteFault fault = WriteFault::None;
    std::string pathPart;
};

FaultSetting faultFromEnvironment()
{
    const char* value = std::getenv("VQ_WRITE_FAULT");
    if (!value)
        return {};
    std::string_view text(value);
    auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return {};
    auto kind = text.substr(0, colon);
    WriteFault fault = kind == "stop-halfway"         ? WriteFault::StopHalfway
                       : kind == "stop-before-rename" ? WriteFault::StopBeforeRename
                       : kind == "stop-after-rename"  ? WriteFault::StopAfterRename
                       : kind == "disk-full"          ? WriteFault::DiskFull
                                                      : WriteFault::None;
    return {fault, std::string(text.substr(colon + 1))};
}

// Writes happen on the network thread too (downloads).
std::mutex gFaultMutex;

FaultSetting& faultSetting()
{
    static FaultSetting setting = faultFromEnvironment();
    return setting;
}

WriteFault faultFor(const std::filesystem::path& path)
{
    std::lock_guard lock(gFaultMutex);
    const auto& setting = faultSetting();
    if (setting.fault == WriteFault::None || path.string().find(setting.pathPart) == std::string::npos)
        return WriteFault::None;
    return setting.fault;
}

void stopHereIf(WriteFault wanted, WriteFault fault)
{
    if (fault == wanted)
        ::raise(SIGSTOP);
}

// writeAll, with the faults that strike halfway.
bool writeAllWith(int fd, std::string_view bytes, WriteFault fault)
{
    if (fault != WriteFault::StopHalfway && fault != WriteFault::DiskFull)
        return writeAll(fd, bytes);
    if (!writeAll(fd, bytes.substr(0, bytes.size() / 2)))
        return false;
    if (fault == WriteFault::DiskFull) {
        errno = ENOSPC;
        return false;
    }
    ::raise(SIGSTOP);
    return writeAll(fd, bytes.substr(bytes.size() / 2));
}

// A complete temporary file beside path, with mode; its name, or an error.
std::variant<std::string, std::string> writeTemporary(const std::filesystem::path& path, std::string_view bytes,
                                                      mode_t mode, WriteFault fault, bool flush)
{
    auto dir = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::string tmpl = (dir / fmt::format(".{}.XXXXXX", path.filename().string())).string();
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0)
        return std::variant<std::string, std::string>(std::in_place_index<1>, failure("write", path, errno));
    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        return std::variant<std::string, std::string>(std::in_place_index<1>, failure("write", path, err));
    };
    if (::fchmod(fd, mode) != 0 || !writeAllWith(fd, bytes, fault))
        return fail(errno);
    if (flush && ::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tmpl.c_str());
        return std::variant<std::string, std::string>(std::in_place_index<1>, failure("write", path, err));
    }
    return std::variant<std::string, std::string>(std::in_place_index<0>, std::move(tmpl));
}

// Files that must survive reach the disk before they take a name; a scratch
// folder's do not outlive the process anyway.
bool flushes(const std::filesystem::path& path, Durability durability, bool replacing)
{
    if (durability == Durability::Rebuildable || (durability == Durability::OverOldOnly && !replacing))
        return false;
    return !Paths::isScratch(path);
}

bool flushFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

// Puts tmp at path; for a new name, written without a flush, without replacing a
// file there. A file that appeared since is replaced only after the bytes reached
// the disk, as any older file is.
int moveIntoPlace(const std::string& tmp, const std::filesystem::path& path, bool newName)
{
    if (newName) {
        if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        // EINVAL, ENOSYS: a file system or kernel without the flag.
        if ((errno != EEXIST && errno != EINVAL && errno != ENOSYS) || !flushFile(tmp))
            return -1;
    }
    return ::rename(tmp.c_str(), path.c_str());
}

} // namespace

void setWriteFaultForTests(WriteFault fault, std::string pathPart)
{
    std::lock_guard lock(gFaultMutex);
    faultSetting() = {fault, std::move(pathPart)};
}

std::optional<std::string> writeFileAtomically(const std::filesystem::path& requested, std::string_view bytes,
                                               Durability durability)
{
    if (requested.empty())
        return std::string("cannot write a file without a name");
    std::filesystem::path path;
    mode_t mode = 0666 & ~currentUmask();
    bool replacing = false;
    struct stat st {};
    if (::stat(requested.c_str(), &st) == 0) {
        // A pipe or a terminal takes the bytes as they come (/dev/stdout
        // included); replacing the node would break whoever else uses it.
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            return writeInto(requested, bytes);
        if (S_ISDIR(st.st_mode))
            return fmt::format("cannot write {}: it is a folder", requested.string());
        if (!S_ISREG(st.st_mode))
            return fmt::format("cannot write {}: it is not a regular file", requested.string());
        // The file itself is replaced, wherever links lead to it.
        char* real = ::realpath(requested.c_str(), nullptr);
        if (!real)
            return failure("write", requested, errno);
        path = real;
        std::free(real);
        mode = st.st_mode & 07777;
        replacing = true;
    } else if (errno == ENOENT) {
        // Nothing there yet, or a link to where the file is to be.
        auto resolved = resolveLinks(requested);
        if (auto* error = std::get_if<std::string>(&resolved))
            return *error;
        path = std::get<std::filesystem::path>(resolved);
    } else {
        return failure("write", requested, errno);
    }

    auto fault = faultFor(path);
    bool flush = flushes(path, durability, replacing);
    auto temporary = writeTemporary(path, bytes, mode, fault, flush);
    if (temporary.index() == 1)
        return std::get<1>(temporary);
    const auto& tmp = std::get<0>(temporary);
    stopHereIf(WriteFault::StopBeforeRename, fault);
    if (moveIntoPlace(tmp, path, durability == Durability::OverOldOnly && !replacing) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return fmt::format("cannot move {} into place: {}", requested.string(), std::strerror(err));
    }
    stopHereIf(WriteFault::StopAfterRename, fault);
    return std::nullopt;
}

std::optional<std::string> writeNewFile(const std::filesystem::path& path, std::string_view bytes, bool* existed)
{
    if (existed)
        *existed = false;
    auto fault = faultFor(path);
    auto temporary = writeTemporary(path, bytes, 0666 & ~currentUmask(), fault, flushes(path, Durability::Flushed, false));
    if (temporary.index() == 1)
        return std::get<1>(temporary);
    const auto& tmp = std::get<0>(temporary);
    stopHereIf(WriteFault::StopBeforeRename, fault);
    // A hard link never replaces an existing name, so two writers cannot
    // lose each other's files.
    int result = ::link(tmp.c_str(), path.c_str());
    int err = errno;
    ::unlink(tmp.c_str());
    stopHereIf(WriteFault::StopAfterRename, fault);
    if (result != 0) {
        if (err == EEXIST && existed)
            *existed = true;
        return failure("write", path, err);
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

std::optional<std::string> readFile(const std::filesystem::path& path, std::string* error, int* errorNumber)
{
    auto fail = [&](int err) -> std::optional<std::string> {
        if (error)
            *error = failure("read", path, err);
        if (errorNumber)
            *errorNumber = err;
        return std::nullopt;
    };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(EISDIR);
    }
    std::string bytes;
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            return fail(err);
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

} // namespace vq
