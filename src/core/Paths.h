#pragma once

#include "core/Durability.h"

#include <filesystem>
#include <optional>
#include <string>

namespace vq {

// Where the app keeps its files: the XDG folders, or everything under one
// folder given with --data-dir.
class Paths {
public:
    // Everything under root (data/ and caches/ inside it). A scratch root is
    // removed when the process ends: files written under it are not flushed
    // to the disk first.
    static void setDataRoot(const std::filesystem::path& root, bool scratch = false);
    // Whether path lies inside a scratch root.
    static bool isScratch(const std::filesystem::path& path);
    static void resetToDefaults();

    static std::filesystem::path dataDir();  // user defaults, outbox, analytics, advertising identifier
    static std::filesystem::path cacheDir(); // downloaded pictures

    // Creates the folder; on failure returns a message naming the path.
    static std::optional<std::string> ensureDirectory(const std::filesystem::path& dir);
};

// Writes bytes to a temporary file beside path, then renames it into place,
// so readers see the old file or the new one, never a part. Returns an error
// message on failure (and leaves no temporary file behind). A symbolic link
// is followed and kept; a pipe or character device (/dev/stdout) is written
// straight into; any other node that is not a regular file is refused. An
// existing file keeps its mode; a new one gets 0666 less the umask. Whether
// the bytes reach the disk before the rename: durability says.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                               Durability durability = Durability::Flushed);

// Writes a complete new file at path that never replaces one already there:
// an error when the name is taken (*existed is then set).
std::optional<std::string> writeNewFile(const std::filesystem::path& path, std::string_view bytes,
                                        bool* existed = nullptr);

// Writes all of bytes to a file descriptor, retrying short writes and
// interruptions. False on an error (errno tells which).
bool writeAll(int fd, std::string_view bytes);

// Faults for the tests, put into the writes above of every path that
// contains a given text: the process stops itself (SIGSTOP) halfway through
// the temporary file, or just before or after it takes the file's place, so a
// test can kill it right there; or the disk fills up halfway. The built
// program takes one from the environment: VQ_WRITE_FAULT=KIND:TEXT, KIND one
// of stop-halfway, stop-before-rename, stop-after-rename, disk-full.
enum class WriteFault { None, StopHalfway, StopBeforeRename, StopAfterRename, DiskFull };
void setWriteFaultForTests(WriteFault fault, std::string pathPart = {});

// Reads a whole file; nullopt when it cannot be read (a folder cannot), with
// a message naming the path in *error and the errno value in *errorNumber.
std::optional<std::string> readFile(const std::filesystem::path& path, std::string* error = nullptr,
                                    int* errorNumber = nullptr);

} // namespace vq
