#pragma once

#include <cstdint>
#include <filesystem>

namespace vq {

// The pictures the promotion client keeps, one file per link's name. Names
// change from list to list, so without a cap the folder only grows: past
// kMaxBytes the oldest files go first. Main thread only.
class CachesFolder {
public:
    static constexpr std::uintmax_t kMaxBytes = std::uintmax_t{64} << 20;

    // A picture just stored there (the newest, never the one removed).
    static void added(const std::filesystem::path& file);
    // Forgets what it knows of the folders' sizes (between tests).
    static void resetForTests();
};

} // namespace vq
