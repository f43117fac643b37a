#include "promotion/CachesFolder.h"

#include "core/Log.h"
#include "core/TestResets.h"

#include <algorithm>
#include <map>
#include <system_error>
#include <vector>

namespace vq {

namespace {

// Bytes in each folder as last counted, and added since.
std::map<std::filesystem::path, std::uintmax_t>& known()
{
    static std::map<std::filesystem::path, std::uintmax_t> sizes;
    return sizes;
}
[[maybe_unused]] const bool resetAdded = (addResetForTests(&CachesFolder::resetForTests), true);

struct Entry {
    std::filesystem::path path;
    std::uintmax_t bytes;
    std::filesystem::file_time_type written;
};

// The pictures in it; downloads under way (hidden files) are not.
std::vector<Entry> pictures(const std::filesystem::path& folder)
{
    std::vector<Entry> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (it->path().filename().string().starts_with(".") || !it->is_regular_file(entryError))
            continue;
        auto bytes = it->file_size(entryError);
        auto written = it->last_write_time(entryError);
        if (!entryError)
            out.push_back({it->path(), bytes, written});
    }
    return out;
}

} // namespace

void CachesFolder::added(const std::filesystem::path& file)
{
    auto folder = file.parent_path();
    auto& sizes = known();
    auto it = sizes.find(folder);
    std::error_code ec;
    if (it == sizes.end()) {
        // Counted once a run; what is added later is counted as it comes.
        std::uintmax_t total = 0;
        for (const auto& entry : pictures(folder))
            total += entry.bytes;
        it = sizes.emplace(folder, total).first;
    } else {
        it->second += std::filesystem::file_size(file, ec);
    }
    if (it->second <= kMaxBytes)
        return;
    auto all = pictures(folder);
    std::sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) { return a.written < b.written; });
    std::uintmax_t total = 0;
    for (const auto& entry : all)
        total += entry.bytes;
    std::size_t removed = 0;
    for (const auto& entry : all) {
        if (total <= kMaxBytes)
            break;
        if (entry.path == file)
            continue;
        if (std::filesystem::remove(entry.path, ec)) {
            total -= entry.bytes;
            ++removed;
        }
    }
    it->second = total;
    log("caches folder over {} MB: removed the {} oldest pictures", kMaxBytes >> 20, removed);
}

void CachesFolder::resetForTests() { known().clear(); }

} // namespace vq
