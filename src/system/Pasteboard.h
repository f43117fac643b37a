#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// Published on the event hub for every image the pasteboard writes out.
struct PasteboardImageWritten {
    std::string type;
    std::filesystem::path path;
};

// The system pasteboard: data kept per type for this process. Each image put
// on it is also written to the data folder as pasteboard/latest.jpg, so it
// can be pasted somewhere outside the app.
class Pasteboard {
public:
    static Pasteboard& general();

    // Image types, most preferred first.
    static const std::vector<std::string>& typeListImage();

    void setData(std::vector<std::uint8_t> data, const std::string& type);
    std::optional<std::vector<std::uint8_t>> dataForType(const std::string& type) const;

    static std::filesystem::path latestImagePath();

    void resetForTests() { _items.clear(); }

private:
    Pasteboard() = default;
    std::map<std::string, std::vector<std::uint8_t>> _items;
};

} // namespace vq
