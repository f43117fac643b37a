// The preferences file is read at start: whatever it holds, the app starts,
// keeps every value it could read (or sets the file aside), and writes a file
// it reads back.
#include "Check.h"
#include "SameValue.h"
#include "TempRoot.h"

#include "core/Paths.h"
#include "core/PropertyList.h"
#include "core/UserDefaults.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

// Every key of expected reads back as it was, but the one skipped.
void requireKept(vq::UserDefaults& defaults, const vq::PlistValue& expected, std::string_view skip)
{
    for (const auto& [key, value] : *expected.dictionary()) {
        if (key == skip)
            continue;
        auto read = defaults.objectForKey(key);
        // The file may be XML, which keeps whole seconds of dates.
        require(read && sameValue(*read, value, 1.0), "a value of the file is lost or changed", key);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vq::Paths::setDataRoot(fuzzTempRoot());
    auto& defaults = vq::UserDefaults::standard();
    auto file = vq::UserDefaults::filePath();
    std::error_code ec;
    fs::remove_all(file.parent_path(), ec);
    fs::create_directories(file.parent_path());
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    defaults.resetForTests();

    auto expected = vq::parsePropertyList(bytes);
    bool taken = expected && expected->isDictionary();
    (void)defaults.stringForKey("banner_key");
    (void)defaults.integerForKey("banner_key");
    (void)defaults.doubleForKey("banner_key");
    (void)defaults.boolForKey("banner_key");
    if (taken) {
        requireKept(defaults, *expected, {});
    } else {
        // Set aside for inspection, never lost; the app starts empty.
        auto aside = file;
        aside += ".corrupt";
        require(fs::exists(aside) && fs::file_size(aside) == size, "an unreadable file is not set aside whole");
        require(!defaults.objectForKey("banner_key"), "values from an unreadable file");
    }

    defaults.setString("banner_key", "k");
    require(defaults.synchronize(), "the preferences cannot be written");
    defaults.resetForTests();
    require(defaults.stringForKey("banner_key") == "k", "the written key does not read back");
    if (taken)
        requireKept(defaults, *expected, "banner_key");
    defaults.resetForTests();
    return 0;
}
