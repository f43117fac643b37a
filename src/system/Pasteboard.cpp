#include "system/Pasteboard.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/Paths.h"

#include <algorithm>

namespace vq {

Pasteboard& Pasteboard::general()
{
    static Pasteboard board;
    return board;
}

const std::vector<std::string>& Pasteboard::typeListImage()
{
    static const std::vector<std::string> types = {"public.jpeg", "public.png", "com.compuserve.gif",
                                                   "com.microsoft.bmp", "public.tiff"};
    return types;
}

std::filesystem::path Pasteboard::latestImagePath() { return Paths::dataDir() / "pasteboard" / "latest.jpg"; }

void Pasteboard::setData(std::vector<std::uint8_t> data, const std::string& type)
{
    const auto& images = typeListImage();
    bool isImage = std::find(images.begin(), images.end(), type) != images.end();
    if (isImage) {
        auto path = latestImagePath();
        auto error = Paths::ensureDirectory(path.parent_path());
        if (!error)
            error = writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        // The in-app copy still works when the file does not.
        if (error)
            log("pasteboard image not written: {}", *error);
        else
            EventHub::shared().publish(PasteboardImageWritten{type, path});
    }
    _items[type] = std::move(data);
}

std::optional<std::vector<std::uint8_t>> Pasteboard::dataForType(const std::string& type) const
{
    auto it = _items.find(type);
    if (it == _items.end())
        return std::nullopt;
    return it->second;
}

} // namespace vq
