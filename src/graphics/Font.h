#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace vq {

// A font face at a point size, resolved through fontconfig and drawn with
// Pango. Copies are cheap.
class Font {
public:
    static Font systemFont(double size);
    static Font boldSystemFont(double size);
    // nullopt when no installed face has that name.
    static std::optional<Font> fontWithName(const std::string& name, double size);
    // Installed families and the face names of one family, as fontconfig reports them.
    static std::vector<std::string> familyNames();
    static std::vector<std::string> fontNamesForFamilyName(const std::string& family);

    const std::string& fontName() const;   // the face name fontWithName accepts
    const std::string& familyName() const;
    double pointSize() const;
    bool isSystemFont() const;
    Font withSize(double size) const;

    // Line metrics in points. lineHeight is the pitch text layouts give each
    // line of this font (the system font's is wider than its face's own).
    double ascender() const;
    double descender() const;
    double lineHeight() const;

    // Owned by the font; valid while any copy lives.
    const PangoFontDescription* pangoDescription() const;

    friend bool operator==(const Font& a, const Font& b);

    struct Impl;

private:
    explicit Font(std::shared_ptr<const Impl> impl) : _impl(std::move(impl)) {}
    std::shared_ptr<const Impl> _impl;
};

} // namespace vq
