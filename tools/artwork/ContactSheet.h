#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vq::artwork {

// One PNG with every picture of the catalogue, labelled, for a person to
// look over: the furniture at its point size, the textures and thumbnails in
// their grid order.
class ContactSheet {
public:
    static std::optional<std::string> write(const std::filesystem::path& file);
};

} // namespace vq::artwork
