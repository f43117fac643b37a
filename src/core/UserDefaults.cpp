#include "core/UserDefaults.h"

#include "core/Log.h"
#include "core/Paths.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace vq {

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults;
    return defaults;
}

std::filesystem::path UserDefaults::filePath() { return Paths::dataDir() / "preferences.plist"; }

void UserDefaults::load()
{
    if (_loaded)
        return;
    _loaded = true;
    _values.clear();
    _keepFile = false;
    auto path = filePath();
    sweepAbandonedTemporaries(path);
    std::string error;
    int err = 0;
    auto bytes = readFile(path, &error, &err);
    if (!bytes) {
        if (err == ENOENT)
            return;
        // Perhaps only for now (permissions, a busy disk): the file may be
        // fine, so it stays where it is and is not written over.
        _keepFile = true;
        log("user defaults {} unreadable ({}); left in place; starting empty", path.string(), std::strerror(err));
        return;
    }
    auto parsed = parsePropertyList(*bytes);
    if (parsed && parsed->isDictionary()) {
        _values = std::move(*parsed->dictionary());
        return;
    }
    // Keep the bad file for inspection and start over, so one broken write
    // does not stop the app from starting.
    auto aside = freeCorruptName(path);
    std::error_code ec;
    if (aside)
        std::filesystem::rename(path, *aside, ec);
    if (!aside || ec) {
        _keepFile = true;
        log("user defaults {} unreadable and not moved aside ({}); starting empty", path.string(),
            ec ? ec.message() : "no free name");
    } else {
        log("user defaults {} unreadable; moved aside to {}; starting empty", path.string(), aside->string());
    }
}

// A write that was killed leaves its temporary file (".preferences.plist.XXXXXX")
// beside the real one. Writes take moments, so one this old is nobody's;
// a younger one may be another instance's write in progress.
void UserDefaults::sweepAbandonedTemporaries(const std::filesystem::path& path)
{
    constexpr auto kAbandoned = std::chrono::minutes(10);
    std::string prefix = "." + path.filename().string() + ".";
    auto now = std::filesystem::file_time_type::clock::now();
    std::error_code ec;
    for (std::filesystem::directory_iterator it(path.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        auto name = it->path().filename().string();
        std::error_code entryError;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix) || !it->is_regular_file(entryError))
            continue;
        auto written = it->last_write_time(entryError);
        if (!entryError && now - written > kAbandoned)
            std::filesystem::remove(it->path(), entryError);
    }
}

std::optional<std::filesystem::path> UserDefaults::freeCorruptName(const std::filesystem::path& path)
{
    // Earlier copies are kept: .corrupt, then .corrupt.1, .corrupt.2, ...
    for (int n = 0; n < 1000; ++n) {
        auto candidate = path;
        candidate += n == 0 ? std::string(".corrupt") : ".corrupt." + std::to_string(n);
        std::error_code ec;
        auto status = std::filesystem::symlink_status(candidate, ec);
        if (status.type() == std::filesystem::file_type::not_found)
            return candidate;
    }
    return std::nullopt;
}

std::optional<PlistValue> UserDefaults::objectForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    if (it == _values.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    if (it == _values.end() || !it->second.isString())
        return std::nullopt;
    return *it->second.string();
}

std::optional<PlistValue::Array> UserDefaults::arrayForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    if (it == _values.end() || !it->second.isArray())
        return std::nullopt;
    return *it->second.array();
}

std::optional<PlistValue::Dictionary> UserDefaults::dictionaryForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    if (it == _values.end() || !it->second.isDictionary())
        return std::nullopt;
    return *it->second.dictionary();
}

std::int64_t UserDefaults::integerForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    return it == _values.end() ? 0 : it->second.integerValue().value_or(0);
}

double UserDefaults::doubleForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    return it == _values.end() ? 0 : it->second.doubleValue().value_or(0);
}

bool UserDefaults::boolForKey(const std::string& key)
{
    load();
    auto it = _values.find(key);
    return it == _values.end() ? false : it->second.boolValue().value_or(false);
}

void UserDefaults::setObject(const std::string& key, PlistValue value)
{
    load();
    _values.insert_or_assign(key, std::move(value));
}

void UserDefaults::removeObjectForKey(const std::string& key)
{
    load();
    _values.erase(key);
}

bool UserDefaults::synchronize()
{
    load();
    auto path = filePath();
    if (_keepFile) {
        log("user defaults not saved: {} could not be read at start and is left as it is", path.string());
        return false;
    }
    if (auto err = Paths::ensureDirectory(path.parent_path())) {
        log("user defaults not saved: {}", *err);
        return false;
    }
    // XML, which people can read, unless a value holds what only the binary
    // form carries (a NUL in a string); reading takes either.
    PlistValue all(_values);
    auto format = propertyListWriteError(all, PlistFormat::Xml) ? PlistFormat::Binary : PlistFormat::Xml;
    if (auto why = propertyListWriteError(all, format)) {
        log("user defaults not saved: {}", *why);
        return false;
    }
    if (auto err = writeFileAtomically(path, writePropertyList(all, format))) {
        log("user defaults not saved: {}", *err);
        return false;
    }
    return true;
}

void UserDefaults::resetForTests()
{
    _loaded = false;
    _keepFile = false;
    _values.clear();
}

} // namespace vq
