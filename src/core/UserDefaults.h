#pragma once

#include "core/PropertyList.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vq {

// The app's small persistent key-value store: one property list in the data
// folder, loaded on first use and written whole by synchronize().
class UserDefaults {
public:
    static UserDefaults& standard();

    // nullopt when the key is absent.
    std::optional<PlistValue> objectForKey(const std::string& key);
    // Typed reads: nullopt when absent or of another type.
    std::optional<std::string> stringForKey(const std::string& key);
    std::optional<PlistValue::Array> arrayForKey(const std::string& key);
    std::optional<PlistValue::Dictionary> dictionaryForKey(const std::string& key);
    // Numbers read as 0 / false when absent or not a number.
    std::int64_t integerForKey(const std::string& key);
    double doubleForKey(const std::string& key);
    bool boolForKey(const std::string& key);

    void setObject(const std::string& key, PlistValue value);
    void setString(const std::string& key, std::string value) { setObject(key, PlistValue(std::move(value))); }
    void setInteger(const std::string& key, std::int64_t value) { setObject(key, PlistValue(value)); }
    void setDouble(const std::string& key, double value) { setObject(key, PlistValue(value)); }
    void setBool(const std::string& key, bool value) { setObject(key, PlistValue(value)); }
    void removeObjectForKey(const std::string& key);

    // Writes the whole store; false (and one log line) when it cannot.
    bool synchronize();

    // Paths::dataDir() / "preferences.plist".
    static std::filesystem::path filePath();

    // Forgets the in-memory store; the next use loads the file again.
    void resetForTests();

private:
    UserDefaults() = default;
    void load();
    static void sweepAbandonedTemporaries(const std::filesystem::path& path);
    static std::optional<std::filesystem::path> freeCorruptName(const std::filesystem::path& path);

    bool _loaded = false;
    // The file is there but was not taken in: writing would lose it.
    bool _keepFile = false;
    PlistValue::Dictionary _values;
};

} // namespace vq
