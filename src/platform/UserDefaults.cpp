#include "platform/UserDefaults.h"

#include "platform/Log.h"
#include "platform/Paths.h"

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
    auto path = filePath();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return;
    auto bytes = readFile(path);
    std::optional<PlistValue> parsed;
    if (bytes)
        parsed = parsePropertyList(*bytes);
    if (parsed && parsed->isDictionary()) {
        _values = std::move(*parsed->dictionary());
        return;
    }
    // Keep the bad file for inspection and start over, so one broken write
    // does not stop the app from starting.
    auto aside = path;
    aside += ".corrupt";
    std::filesystem::rename(path, aside, ec);
    if (ec)
        log("user defaults {} unreadable and not moved aside ({}); starting empty", path.string(), ec.message());
    else
        log("user defaults {} unreadable; moved aside to {}; starting empty", path.string(), aside.string());
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
    if (auto err = Paths::ensureDirectory(path.parent_path())) {
        log("user defaults not saved: {}", *err);
        return false;
    }
    if (auto err = writeFileAtomically(path, writePropertyList(PlistValue(_values)))) {
        log("user defaults not saved: {}", *err);
        return false;
    }
    return true;
}

void UserDefaults::resetForTests()
{
    _loaded = false;
    _values.clear();
}

} // namespace vq
