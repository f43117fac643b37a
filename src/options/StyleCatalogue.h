#pragma once

#include "graphics/Color.h"
#include "graphics/Font.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// The fixed vocabulary of looks: 66 palette colours, 90 textures and the
// font list. Swatch and texture numbers double as the tags of their controls.
class StyleCatalogue {
public:
    static constexpr int swatchCount = 66;
    static constexpr int swatchesPerRow = 6;
    // The last row is the grey ramp; random backgrounds stay above it.
    static constexpr int lastColouredSwatch = 60;

    // The random style draws from one of two texture sets.
    static constexpr int firstTextureRangeBegin = 1;
    static constexpr int firstTextureRangeEnd = 42;
    static constexpr int secondTextureRangeBegin = 43;
    static constexpr int secondTextureRangeEnd = 90;

    static constexpr const char* systemFontEntry = "System Normal";

    struct Rgb {
        int red, green, blue; // 0..255
    };

    // Swatch 1..66 on the 0..255 scale; nullopt outside that range.
    static std::optional<Rgb> paletteRgb(int swatch);
    // The colour a pick hands out: components / 255, alpha 1.
    static std::optional<Color> paletteColor(int swatch);

    static constexpr int textureCount() { return 90; }
    // The image applied behind the message: "7".
    static std::string textureName(int n);
    // The grid's thumbnail of the same texture: "T-7".
    static std::string thumbnailName(int n);

    // "System Normal" first, then every face of every family, in the order
    // the lister reports them: not sorted, not de-duplicated.
    using FaceLister = std::function<std::vector<std::string>(const std::string& family)>;
    static std::vector<std::string> buildFontList(const std::vector<std::string>& families,
                                                  const FaceLister& facesOfFamily);
    // The same over the platform's installed fonts.
    static std::vector<std::string> buildFontList();

    // Entry 0 is the system font; any other entry is looked up by name.
    // nullopt when k is outside the list or the face is not installed.
    static std::optional<Font> fontForEntry(const std::vector<std::string>& list, std::size_t k, double pointSize);
};

} // namespace vq
