#include "options/StyleCatalogue.h"

// Kept out of StyleCatalogue.cpp so that code needing only the palette and
// the texture names (the artwork tool) links without the font backend.

namespace vq {

std::vector<std::string> StyleCatalogue::buildFontList()
{
    return buildFontList(Font::familyNames(), [](const std::string& family) { return Font::fontNamesForFamilyName(family); });
}

std::optional<Font> StyleCatalogue::fontForEntry(const std::vector<std::string>& list, std::size_t k, double pointSize)
{
    if (k >= list.size())
        return std::nullopt;
    if (k == 0)
        return Font::systemFont(pointSize);
    return Font::fontWithName(list[k], pointSize);
}

} // namespace vq
