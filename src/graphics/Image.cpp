#include "graphics/Image.h"

#include "core/Bundle.h"
#include "core/Log.h"
#include "core/Owned.h"
#include "core/Paths.h"
#include "graphics/CairoOwners.h"
#include "graphics/PictureDecoding.h"
#include "graphics/Screen.h"

#include <cairo.h>
#include <dirent.h>
#include <sys/stat.h>

#include <bit>
#include <limits>
#include <cstring>
#include <mutex>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace vq {

namespace {

cairo_status_t writeChunk(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// Every image is ARGB32: opaque PNGs arrive as RGB24 and are copied over.
CairoSurface toArgb32(CairoSurface s)
{
    if (cairo_image_surface_get_format(s.get()) == CAIRO_FORMAT_ARGB32)
        return s;
    int w = cairo_image_surface_get_width(s.get()), h = cairo_image_surface_get_height(s.get());
    CairoSurface argb(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    CairoContext cr(cairo_create(argb.get()));
    cairo_set_source_surface(cr.get(), s.get(), 0, 0);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    return argb;
}

double scaleFromFileName(const std::filesystem::path& path)
{
    auto stem = path.stem().string();
    if (stem.size() > 3 && stem.ends_with("@3x"))
        return 3;
    if (stem.size() > 3 && stem.ends_with("@2x"))
        return 2;
    return 1;
}

// The app's own pictures go through the decoder those from outside do, held
// to the app's caps rather than a fetched picture's.
CairoSurface decode(std::span<const std::uint8_t> data)
{
    PictureBounds bounds;
    bounds.seconds = 3600;
    bounds.maxScans = 0;
    bounds.maxBytes = std::numeric_limits<std::size_t>::max();
    bounds.maxSide = std::numeric_limits<int>::max();
    bounds.maxPixels = Image::kMaxDecodedPixels;
    auto decoded = decodePicture(data, 1, bounds);
    if (!decoded.image)
        return nullptr;
    return CairoSurface(cairo_surface_reference(decoded.image->surface()));
}

std::optional<std::string> readPrefix(const std::filesystem::path& path, std::size_t length)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    std::string bytes(length, '\0');
    bytes.resize(std::fread(bytes.data(), 1, length, f));
    std::fclose(f);
    return bytes;
}

std::span<const std::uint8_t> asBytes(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

} // namespace

// The pixels behind one or more images: in memory from the start, or a resource file
// decoded on first use. Shared by every name that leads to the same file.
struct Image::Source {
    explicit Source(CairoSurface decoded) : surface(std::move(decoded)), tried(true) {}
    Source(std::vector<std::uint8_t> encoded, std::pair<int, int> size) : bytes(std::move(encoded)), header(size) {}
    Source(std::filesystem::path file, std::string resource) : path(std::move(file)), name(std::move(resource)) {}

    // Pixel size, from the file's header when it has not been decoded yet.
    std::pair<int, int> pixelSize()
    {
        std::lock_guard lock(mutex);
        if (!tried && !header) {
            // A PNG says its size in its first bytes; anything else is decoded to find out.
            if (auto prefix = readPrefix(path, 24))
                if (isPngData(asBytes(*prefix)))
                    header = pictureHeaderSize(asBytes(*prefix));
            if (!header)
                decodeLocked();
        }
        if (surface)
            return {cairo_image_surface_get_width(surface.get()), cairo_image_surface_get_height(surface.get())};
        return *header;
    }

    cairo_surface_t* pixels()
    {
        std::lock_guard lock(mutex);
        decodeLocked();
        return surface.get();
    }

    bool decoded()
    {
        std::lock_guard lock(mutex);
        return tried;
    }

    const std::filesystem::path path;
    const std::string name;

private:
    void decodeLocked()
    {
        if (tried)
            return;
        tried = true;
        if (path.empty())
            surface = decode(std::exchange(bytes, {}));
        else if (auto file = readFile(path))
            surface = decode(asBytes(*file));
        if (!surface) {
            if (path.empty())
                log("picture cannot be decoded");
            else
                log("image cannot be decoded: {} ({})", name, path.string());
            // Empty but valid: it measures as nothing and draws nothing.
            surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 0, 0));
        }
        header.reset();
    }

    std::mutex mutex;
    std::vector<std::uint8_t> bytes; // kept until decoded, for a picture made from data
    CairoSurface surface;
    std::optional<std::pair<int, int>> header;
    bool tried = false;
};

namespace {

struct NamedCache {
    // By name, for the resource folder and screen scale they were found for.
    std::unordered_map<std::string, std::shared_ptr<Image>> images;
    std::filesystem::path imagesDir;
    double imagesScale = 0;
    // By file, so two names for one file share its pixels.
    std::unordered_map<std::string, std::shared_ptr<Image::Source>> sources; // by the file's path
    // The resource folder's file names, read once: the editor names a hundred pictures at
    // launch, each tried at two scales, and a folder listing costs less than those lookups.
    std::optional<std::filesystem::path> listedDir;
    std::unordered_set<std::string> files;
};

NamedCache& namedCache()
{
    static NamedCache cache;
    return cache;
}

const std::unordered_set<std::string>& resourceFiles(NamedCache& cache, const std::filesystem::path& dir)
{
    if (cache.listedDir == dir)
        return cache.files;
    cache.files.clear();
    // readdir, not a directory_iterator: that builds and splits a full path per entry,
    // which cost more than the rest of the launch's picture lookups together.
    if (Owned<DIR, closedir> folder(opendir(dir.c_str())); folder) {
        int fd = dirfd(folder.get());
        while (const dirent* entry = readdir(folder.get())) {
            bool regular = entry->d_type == DT_REG;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat st {};
                regular = fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
            }
            if (regular)
                cache.files.insert(entry->d_name);
        }
    }
    cache.listedDir = dir;
    return cache.files;
}

// The file a resource name stands for and its scale; nothing is read yet.
std::optional<std::pair<std::filesystem::path, double>> findNamed(NamedCache& cache, std::string_view name)
{
    const Bundle& bundle = Bundle::main();
    const auto& files = resourceFiles(cache, bundle.resourceDir);
    bool inListedFolder = name.find('/') == std::string_view::npos;
    std::string_view base = name;
    static constexpr std::string_view allTypes[] = {"png", "jpg", "jpeg"};
    std::span<const std::string_view> types = allTypes;
    // A name given with its extension looks only for that type.
    for (const auto& t : allTypes) {
        if (base.size() > t.size() + 1 && base.ends_with(t) && base[base.size() - t.size() - 1] == '.') {
            base.remove_suffix(t.size() + 1);
            types = std::span(&t, 1);
            break;
        }
    }
    // On a scale-2 screen the @2x picture first; elsewhere it is the last resort.
    bool retina = Screen::main().scale() >= 2;
    std::string file;
    auto candidate = [&](std::string_view type, bool twice) -> const std::string& {
        file.assign(base);
        if (twice)
            file += "@2x";
        file += '.';
        file += type;
        return file;
    };
    // First in the listing; then asked of the file system, for a subfolder or a file added since.
    for (int pass = 0; pass < 2; ++pass)
        for (const auto& type : types)
            for (bool twice : {retina, !retina}) {
                const std::string& f = candidate(type, twice);
                if (pass == 0 && inListedFolder && files.contains(f))
                    return std::pair(bundle.resourceDir / f, twice ? 2.0 : 1.0);
                if (pass == 1)
                    if (auto path = bundle.pathForResource(f, {}))
                        return std::pair(std::move(*path), twice ? 2.0 : 1.0);
            }
    return std::nullopt;
}

} // namespace

Image::Image(std::shared_ptr<Source> source, double scale, std::string name)
    : _source(std::move(source)), _scale(scale > 0 ? scale : 1), _name(std::move(name))
{
}

Image::~Image() = default;

std::shared_ptr<Image> Image::imageNamed(const std::string& name)
{
    if (name.empty())
        return nullptr;
    double screenScale = Screen::main().scale();
    auto& cache = namedCache();
    // A name means another picture in another folder or at another scale.
    if (cache.imagesScale != screenScale || cache.imagesDir != Bundle::main().resourceDir) {
        cache.images.clear();
        cache.imagesScale = screenScale;
        cache.imagesDir = Bundle::main().resourceDir;
    }
    if (auto it = cache.images.find(name); it != cache.images.end())
        return it->second;
    auto found = findNamed(cache, name);
    if (!found) {
        static std::set<std::string> reported;
        if (reported.insert(name).second)
            log("image not found: {}", name);
        return nullptr;
    }
    auto& source = cache.sources[found->first.native()];
    if (!source)
        source = std::make_shared<Source>(std::move(found->first), name);
    auto image = std::shared_ptr<Image>(new Image(source, found->second, name));
    cache.images.emplace(name, image);
    return image;
}

std::shared_ptr<Image> Image::imageWithData(std::span<const std::uint8_t> data, double scale)
{
    CairoSurface s = decode(data);
    if (!s)
        return nullptr;
    return std::shared_ptr<Image>(new Image(std::make_shared<Source>(std::move(s)), scale, {}));
}

std::shared_ptr<Image> Image::imageWithEncodedData(std::vector<std::uint8_t> data, double scale)
{
    auto size = pictureHeaderSize(data);
    if (!size || std::int64_t{size->first} * size->second > kMaxDecodedPixels)
        return nullptr;
    return std::shared_ptr<Image>(new Image(std::make_shared<Source>(std::move(data), *size), scale, {}));
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(const std::filesystem::path& path)
{
    auto bytes = readFile(path);
    if (!bytes)
        return nullptr;
    return imageWithData(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()),
                         scaleFromFileName(path));
}

std::shared_ptr<Image> Image::fromSurface(cairo_surface_t* surface, double scale)
{
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return nullptr;
    auto format = cairo_image_surface_get_format(surface);
    if (format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24)
        return nullptr;
    return std::shared_ptr<Image>(
        new Image(std::make_shared<Source>(toArgb32(CairoSurface(cairo_surface_reference(surface)))), scale, {}));
}

std::shared_ptr<Image> Image::blank(int pixelWidth, int pixelHeight, double scale)
{
    CairoSurface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(0, pixelWidth), std::max(0, pixelHeight)));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    return std::shared_ptr<Image>(new Image(std::make_shared<Source>(std::move(s)), scale, {}));
}

void Image::clearNamedCache()
{
    namedCache().images.clear();
    namedCache().sources.clear();
    namedCache().listedDir.reset();
}

Size Image::size() const
{
    auto [w, h] = _source->pixelSize();
    return {w / _scale, h / _scale};
}

int Image::pixelWidth() const { return _source->pixelSize().first; }

int Image::pixelHeight() const { return _source->pixelSize().second; }

cairo_surface_t* Image::surface() const { return _source->pixels(); }

bool Image::isDecoded() const { return _source->decoded(); }

Color Image::pixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight())
        return Color::clearColor();
    cairo_surface_t* pixels = surface();
    cairo_surface_flush(pixels);
    const unsigned char* row = cairo_image_surface_get_data(pixels) + y * cairo_image_surface_get_stride(pixels);
    std::uint32_t px;
    std::memcpy(&px, row + 4 * x, 4);
    std::uint32_t a = cairo_image_surface_get_format(pixels) == CAIRO_FORMAT_ARGB32 ? (px >> 24) & 0xff : 0xff;
    if (a == 0)
        return Color::clearColor();
    auto channel = [a](std::uint32_t v) { return static_cast<float>(std::min(255u, (v * 255 + a / 2) / a)) / 255.0f; };
    return {channel((px >> 16) & 0xff), channel((px >> 8) & 0xff), channel(px & 0xff), static_cast<float>(a) / 255.0f};
}

std::vector<std::uint8_t> Image::pngData() const
{
    std::vector<std::uint8_t> out;
    if (cairo_surface_write_to_png_stream(surface(), writeChunk, &out) != CAIRO_STATUS_SUCCESS)
        return {};
    return out;
}

std::optional<std::string> Image::writePng(const std::filesystem::path& path, Durability durability) const
{
    auto data = pngData();
    if (data.empty())
        return fmt::format("cannot encode PNG for {}", path.string());
    return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), durability);
}

} // namespace vq
