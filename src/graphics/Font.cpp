#include "graphics/Font.h"

#include "graphics/FontConfig.h"
#include "graphics/FontMap.h"

#include <fontconfig/fontconfig.h>
#include <hb.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-font.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <map>
#include <optional>
#include <sched.h>
#include <set>
#include <strings.h>
#include <tuple>
#include <vector>
#include <utility>

namespace vq {

struct Font::Impl {
    std::string name;
    std::string family;
    double size = 0;
    bool system = false;
    bool bold = false; // the bold system font
    PangoFontDescription* description = nullptr;
    double ascender = 0;
    double descender = 0;
    double lineHeight = 0;
    mutable bool matched = false; // Pango has matched the description at its size

    Impl() = default;
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;
    ~Impl()
    {
        if (description)
            pango_font_description_free(description);
    }
};

namespace {

// One installed face as fontconfig lists it.
struct Face {
    std::string postscriptName;
    std::string fullName;
    std::string family; // the first (typographic) family
    std::vector<std::string> families;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    int width = FC_WIDTH_NORMAL;
    // Resolved on first use: the description that makes Pango pick exactly this face.
    PangoFontDescription* description = nullptr;
    bool resolved = false;
};

std::string patternString(FcPattern* p, const char* object, int index = 0)
{
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, object, index, &s) == FcResultMatch && s)
        return reinterpret_cast<const char*>(s);
    return {};
}

int patternInt(FcPattern* p, const char* object, int fallback)
{
    int v = 0;
    if (FcPatternGetInteger(p, object, 0, &v) == FcResultMatch)
        return v;
    double d = 0;
    if (FcPatternGetDouble(p, object, 0, &d) == FcResultMatch)
        return static_cast<int>(d);
    return fallback;
}

// One face as fontconfig lists it; false for a pattern without a family.
bool readFace(FcPattern* p, Face& f)
{
    f.family = patternString(p, FC_FAMILY);
    if (f.family.empty())
        return false;
    for (int k = 0;; ++k) {
        std::string fam = patternString(p, FC_FAMILY, k);
        if (fam.empty())
            break;
        f.families.push_back(fam);
    }
    f.fullName = patternString(p, FC_FULLNAME);
    f.postscriptName = patternString(p, FC_POSTSCRIPT_NAME);
    if (f.postscriptName.empty())
        f.postscriptName = f.fullName.empty() ? f.family : f.fullName;
    if (f.fullName.empty())
        f.fullName = f.postscriptName;
    f.weight = patternInt(p, FC_WEIGHT, FC_WEIGHT_REGULAR);
    f.slant = patternInt(p, FC_SLANT, FC_SLANT_ROMAN);
    f.width = patternInt(p, FC_WIDTH, FC_WIDTH_NORMAL);
    return true;
}

// The installed faces a pattern matches (every face for an empty one), in a
// stable order: by family, then regular width first, lighter weights first,
// upright before slanted, then by name.
std::vector<Face> listFaces(FcPattern* pattern)
{
    std::vector<Face> out;
    FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, FC_FULLNAME, FC_POSTSCRIPT_NAME, FC_WEIGHT, FC_SLANT, FC_WIDTH,
                                       static_cast<char*>(nullptr));
    FcFontSet* set = FcFontList(FontConfig::shared(), pattern, os);
    if (set) {
        out.reserve(set->nfont);
        for (int i = 0; i < set->nfont; ++i)
            if (Face f; readFace(set->fonts[i], f))
                out.push_back(std::move(f));
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(os);
    auto key = [](const Face& f) {
        int widthRank = f.width == FC_WIDTH_NORMAL ? 0 : (f.width < FC_WIDTH_NORMAL ? 1 : 2);
        return std::tuple<const std::string&, int, int, int, int, const std::string&>(
            f.family, widthRank, f.width, f.weight, f.slant, f.postscriptName);
    };
    std::sort(out.begin(), out.end(), [&](const Face& a, const Face& b) { return key(a) < key(b); });
    return out;
}

bool& facesListed()
{
    static bool listed = false;
    return listed;
}

// Every installed face once.
std::vector<Face>& faces()
{
    static std::vector<Face> list = [] {
        FcPattern* all = FcPatternCreate();
        std::vector<Face> out = listFaces(all);
        FcPatternDestroy(all);
        // The same face may be installed several times (two folders, or OpenType beside
        // Type 1), and each file may report its weight or width a little differently,
        // so the copies need not sort side by side: keep the first of each name.
        std::set<std::string> seen;
        out.erase(std::remove_if(out.begin(), out.end(),
                                 [&](const Face& f) { return !seen.insert(f.postscriptName).second; }),
                  out.end());
        facesListed() = true;
        return out;
    }();
    return list;
}

// A face by its exact PostScript name without listing every face (the first
// screen names only the system faces, and the whole list costs it more than
// fontconfig's own start): the one the whole list would keep of that name.
Face* findListedByPostscriptName(const std::string& name)
{
    static std::map<std::string, Face> found;
    if (auto it = found.find(name); it != found.end())
        return &it->second;
    if (facesListed())
        return nullptr;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(name.c_str()));
    std::vector<Face> matches = listFaces(pattern);
    FcPatternDestroy(pattern);
    // fontconfig matches names without regard to case.
    for (auto& f : matches)
        if (f.postscriptName == name)
            return &found.emplace(name, std::move(f)).first->second;
    return nullptr;
}

Face* findFace(const std::string& name)
{
    if (Face* face = findListedByPostscriptName(name))
        return face;
    auto& list = faces();
    for (auto& f : list)
        if (f.postscriptName == name)
            return &f;
    for (auto& f : list)
        if (f.fullName == name)
            return &f;
    for (auto& f : list)
        if (strcasecmp(f.postscriptName.c_str(), name.c_str()) == 0 || strcasecmp(f.fullName.c_str(), name.c_str()) == 0)
            return &f;
    return nullptr;
}

// The PostScript name of the face Pango picks for a description. Asked at the size the
// font is about to be used at: Pango keeps what it matched per size, and each new size
// costs it a fontconfig match and two threads.
std::string loadedFaceName(const PangoFontDescription* description, double size)
{
    PangoFontDescription* sized = pango_font_description_copy(description);
    pango_font_description_set_absolute_size(sized, (size > 0 ? size : 12) * PANGO_SCALE);
    PangoFont* font = pango_font_map_load_font(FontMap::fontMap(), FontMap::context(), sized);
    pango_font_description_free(sized);
    std::string name;
    if (font && PANGO_IS_FC_FONT(font)) {
        FcPattern* p = pango_fc_font_get_pattern(reinterpret_cast<PangoFcFont*>(font));
        name = patternString(p, FC_POSTSCRIPT_NAME);
        if (name.empty())
            name = patternString(p, FC_FULLNAME);
    }
    if (font)
        g_object_unref(font);
    return name;
}

PangoFontDescription* descriptionFor(const Face& face, const std::string& family)
{
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, family.c_str());
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(p, FC_WEIGHT, face.weight);
    FcPatternAddInteger(p, FC_SLANT, face.slant);
    FcPatternAddInteger(p, FC_WIDTH, face.width);
    PangoFontDescription* style = pango_fc_font_description_from_pattern(p, FALSE);
    FcPatternDestroy(p);
    pango_font_description_set_weight(d, pango_font_description_get_weight(style));
    pango_font_description_set_style(d, pango_font_description_get_style(style));
    pango_font_description_set_stretch(d, pango_font_description_get_stretch(style));
    pango_font_description_free(style);
    return d;
}

// Family and style usually name the face; where two faces share them (a
// family's legacy names), one of its other family names tells them apart.
const PangoFontDescription* resolveDescription(Face& face, double size)
{
    if (face.resolved)
        return face.description;
    face.resolved = true;
    for (const auto& family : face.families) {
        PangoFontDescription* d = descriptionFor(face, family);
        if (loadedFaceName(d, size) == face.postscriptName) {
            face.description = d;
            return d;
        }
        pango_font_description_free(d);
    }
    // Nothing pins it down exactly: the closest match by family and style.
    face.description = descriptionFor(face, face.family);
    return face.description;
}

using CacheKey = std::tuple<std::string, double, bool, bool>;

struct VerticalMetrics {
    int ascent = 0; // Pango units, as Pango reports them
    int descent = 0;
    int height = 0;
    bool operator==(const VerticalMetrics&) const = default;
};

// HarfBuzz's extents of a face at a size, the way Pango's own font at that size reads them.
VerticalMetrics harfBuzzMetrics(hb_face_t* face, const std::vector<int>& coords, double size)
{
    hb_font_t* font = hb_font_create(face);
    if (!coords.empty())
        hb_font_set_var_coords_normalized(font, coords.data(), static_cast<unsigned>(coords.size()));
    int scale = static_cast<int>(size * PANGO_SCALE);
    hb_font_set_scale(font, scale, scale);
    hb_font_extents_t e{};
    hb_font_get_h_extents(font, &e);
    hb_font_destroy(font);
    return {e.ascender, -e.descender, e.ascender - e.descender + e.line_gap};
}

// Pango's metrics for a description cost a fontset and a shaped sample text each time
// (most of the first screen's font work). With metric hinting off they are the face's
// HarfBuzz extents, scaled: checked against Pango once per face, then read from
// HarfBuzz at every other size. A face they do not match for (one without the
// sample's letters reports its fallback's) keeps asking Pango.
class MetricsSource {
public:
    MetricsSource(const MetricsSource&) = delete;
    MetricsSource& operator=(const MetricsSource&) = delete;
    MetricsSource() = default;
    ~MetricsSource()
    {
        if (_face)
            hb_face_destroy(_face);
    }

    std::optional<VerticalMetrics> metrics(const PangoFontDescription* description, double size)
    {
        if (!_checked) {
            _checked = true;
            auto fromPango = pangoMetrics(description);
            adopt(description);
            if (_face && fromPango && harfBuzzMetrics(_face, _coords, size) != *fromPango) {
                hb_face_destroy(std::exchange(_face, nullptr));
            }
            return fromPango;
        }
        if (!_face)
            return pangoMetrics(description);
        return harfBuzzMetrics(_face, _coords, size);
    }

private:
    static std::optional<VerticalMetrics> pangoMetrics(const PangoFontDescription* description)
    {
        PangoFontMetrics* m = pango_context_get_metrics(FontMap::context(), description, nullptr);
        if (!m)
            return std::nullopt;
        VerticalMetrics v{pango_font_metrics_get_ascent(m), pango_font_metrics_get_descent(m),
                          pango_font_metrics_get_height(m)};
        pango_font_metrics_unref(m);
        return v;
    }

    void adopt(const PangoFontDescription* description)
    {
        PangoFont* font = pango_font_map_load_font(FontMap::fontMap(), FontMap::context(), description);
        if (!font)
            return;
        if (hb_font_t* hb = pango_font_get_hb_font(font)) {
            _face = hb_face_reference(hb_font_get_face(hb));
            unsigned length = 0;
            const int* coords = hb_font_get_var_coords_normalized(hb, &length);
            _coords.assign(coords, coords + length);
        }
        g_object_unref(font);
    }

    bool _checked = false;
    hb_face_t* _face = nullptr;
    std::vector<int> _coords;
};

MetricsSource& metricsSource(const std::string& name, bool bold)
{
    static std::map<std::pair<std::string, bool>, MetricsSource> sources;
    return sources[{name, bold}];
}

constexpr double kSystemLineHeightEm = 1.2;

std::map<CacheKey, std::shared_ptr<const Font::Impl>>& implCache()
{
    static std::map<CacheKey, std::shared_ptr<const Font::Impl>> cache;
    return cache;
}

// Pango matches each new font pattern on two threads of its own (and starts fontconfig
// on a third) and waits for them at once. Woken on another CPU, each handoff is a
// cross-CPU wake-up, which on a virtual machine can cost more than the match itself;
// on this thread's CPU it is a plain switch. Those threads end with their match, so
// only they stay on that CPU.
class SameCpuScope {
public:
    SameCpuScope(const SameCpuScope&) = delete;
    SameCpuScope& operator=(const SameCpuScope&) = delete;
    SameCpuScope()
    {
        if (sched_getaffinity(0, sizeof _saved, &_saved) != 0 || CPU_COUNT(&_saved) < 2)
            return;
        int cpu = sched_getcpu();
        if (cpu < 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        _pinned = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~SameCpuScope()
    {
        if (_pinned)
            sched_setaffinity(0, sizeof _saved, &_saved);
    }

private:
    cpu_set_t _saved;
    bool _pinned = false;
};

std::shared_ptr<const Font::Impl> makeImpl(Face* face, const std::string& fallbackName, const std::string& fallbackFamily,
                                           double size, bool system, bool bold = false)
{
    std::string name = face ? face->postscriptName : fallbackName;
    CacheKey key{name, size, system, bold};
    auto& cache = implCache();
    if (auto it = cache.find(key); it != cache.end())
        return it->second;

    SameCpuScope sameCpu;
    auto impl = std::make_shared<Font::Impl>();
    impl->name = name;
    impl->family = face ? face->family : fallbackFamily;
    impl->size = size;
    impl->system = system;
    impl->bold = bold;
    if (face) {
        impl->description = pango_font_description_copy(resolveDescription(*face, size));
    } else {
        impl->description = pango_font_description_new();
        pango_font_description_set_family(impl->description, fallbackFamily.c_str());
        if (bold)
            pango_font_description_set_weight(impl->description, PANGO_WEIGHT_BOLD);
    }
    pango_font_description_set_absolute_size(impl->description, std::max(0.0, size) * PANGO_SCALE);

    if (auto metrics = metricsSource(name, bold).metrics(impl->description, std::max(0.0, size))) {
        double ascent = metrics->ascent / double(PANGO_SCALE);
        double descent = metrics->descent / double(PANGO_SCALE);
        double height = metrics->height / double(PANGO_SCALE);
        impl->ascender = ascent;
        impl->descender = -descent;
        impl->lineHeight = height > 0 ? height : ascent + descent;
    }
    // The phone's own system face sets its lines a little further apart than
    // DejaVu Sans does (about 1.2 em against 1.16): layouts of the system font
    // use that pitch, so a two-line message is as tall as on the phone.
    if (system)
        impl->lineHeight = kSystemLineHeightEm * std::max(0.0, size);
    cache.emplace(key, impl);
    return impl;
}

std::shared_ptr<const Font::Impl> systemImpl(double size, bool bold)
{
    const char* name = bold ? "DejaVuSans-Bold" : "DejaVuSans";
    Face* face = findFace(name);
    if (!face) {
        // No DejaVu here: whatever fontconfig offers for it stands in.
        PangoFontDescription* d = pango_font_description_from_string(bold ? "DejaVu Sans Bold" : "DejaVu Sans");
        std::string loaded = loadedFaceName(d, size);
        pango_font_description_free(d);
        face = loaded.empty() ? nullptr : findFace(loaded);
    }
    return makeImpl(face, name, "DejaVu Sans", size, true, bold);
}

} // namespace

Font Font::systemFont(double size) { return Font(systemImpl(size, false)); }

Font Font::boldSystemFont(double size) { return Font(systemImpl(size, true)); }

std::optional<Font> Font::fontWithName(const std::string& name, double size)
{
    Face* face = findFace(name);
    if (!face)
        return std::nullopt;
    return Font(makeImpl(face, {}, {}, size, false));
}

std::vector<std::string> Font::familyNames()
{
    std::vector<std::string> names;
    for (const auto& f : faces())
        names.push_back(f.family);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<std::string> Font::fontNamesForFamilyName(const std::string& family)
{
    std::vector<std::string> names;
    for (const auto& f : faces())
        if (f.family == family)
            names.push_back(f.postscriptName);
    if (names.empty()) {
        // A family name fontconfig gives as a second name ("DejaVu Sans Condensed").
        for (const auto& f : faces())
            if (std::find(f.families.begin(), f.families.end(), family) != f.families.end())
                names.push_back(f.postscriptName);
    }
    return names;
}

const std::string& Font::fontName() const { return _impl->name; }

const std::string& Font::familyName() const { return _impl->family; }

double Font::pointSize() const { return _impl->size; }

bool Font::isSystemFont() const { return _impl->system; }

Font Font::withSize(double size) const
{
    if (_impl->system)
        return Font(systemImpl(size, _impl->bold));
    return Font(makeImpl(findFace(_impl->name), _impl->name, _impl->family, size, false));
}

double Font::ascender() const { return _impl->ascender; }

double Font::descender() const { return _impl->descender; }

double Font::lineHeight() const { return _impl->lineHeight; }

const PangoFontDescription* Font::pangoDescription() const
{
    // A layout is about to match it: do that here, on one CPU (see SameCpuScope).
    if (!_impl->matched) {
        _impl->matched = true;
        SameCpuScope sameCpu;
        if (PangoFont* font = pango_font_map_load_font(FontMap::fontMap(), FontMap::context(), _impl->description))
            g_object_unref(font);
    }
    return _impl->description;
}

bool operator==(const Font& a, const Font& b)
{
    // The system font lays out its lines apart from the named face it draws with.
    return a._impl == b._impl || (a._impl->name == b._impl->name && a._impl->size == b._impl->size &&
                                  a._impl->system == b._impl->system);
}

} // namespace vq
