#include "main/ViewDump.h"

#include "main/ScreenGeometry.h"

#include "platform/Button.h"
#include "platform/Image.h"
#include "platform/ImageView.h"
#include "platform/Json.h"
#include "platform/Label.h"
#include "platform/Paths.h"
#include "platform/ScrollView.h"
#include "platform/TableViewCell.h"
#include "platform/TextView.h"
#include "platform/Window.h"

#include <fmt/format.h>

#include <cmath>
#include <system_error>

namespace vq {

namespace {

// Float alphas would otherwise show as 0.4000000059604645.
double rounded(double v) { return std::round(v * 1000) / 1000; }

void writeRect(JsonWriter& json, Rect r)
{
    json.beginArray().value(r.origin.x).value(r.origin.y).value(r.size.width).value(r.size.height).endArray();
}

void writeColor(JsonWriter& json, Color c)
{
    json.beginArray()
        .value(static_cast<int>(c.red8()))
        .value(static_cast<int>(c.green8()))
        .value(static_cast<int>(c.blue8()))
        .value(rounded(c.a))
        .endArray();
}

void writeFont(JsonWriter& json, const Font& font)
{
    json.beginObject().key("name").value(font.fontName()).key("size").value(font.pointSize()).endObject();
}

void writeImage(JsonWriter& json, const std::shared_ptr<Image>& image)
{
    if (image && !image->name().empty())
        json.value(image->name());
    else
        json.null();
}

void writeView(JsonWriter& json, const View& view)
{
    json.beginObject();
    json.key("class").value(view.className());
    json.key("frame");
    writeRect(json, view.frame());
    json.key("screen");
    writeRect(json, screen_geometry::screenRect(view));
    json.key("tag").value(view.tag());
    json.key("hidden").value(view.isHidden());
    json.key("alpha").value(rounded(view.alpha()));

    if (auto* control = dynamic_cast<const Control*>(&view)) {
        json.key("enabled").value(control->isEnabled());
        json.key("selected").value(control->isSelected());
    } else if (auto* cell = dynamic_cast<const TableViewCell*>(&view)) {
        json.key("selected").value(cell->isSelected());
    }

    auto* label = dynamic_cast<const Label*>(&view);
    auto* button = dynamic_cast<const Button*>(&view);
    auto* textView = dynamic_cast<const TextView*>(&view);
    auto* imageView = dynamic_cast<const ImageView*>(&view);
    if (label)
        json.key("text").value(label->text());
    else if (textView)
        json.key("text").value(textView->text());
    else if (button) {
        if (auto title = button->currentTitle())
            json.key("text").value(*title);
    }
    if (imageView) {
        json.key("image");
        writeImage(json, imageView->image());
    } else if (button) {
        json.key("image");
        writeImage(json, button->currentImage());
    }

    json.key("background");
    if (auto bg = view.backgroundColor())
        writeColor(json, *bg);
    else
        json.null();

    if (label) {
        json.key("font");
        writeFont(json, label->font());
        json.key("textColor");
        writeColor(json, label->textColor());
    } else if (textView) {
        json.key("font");
        writeFont(json, textView->font());
        json.key("textColor");
        writeColor(json, textView->textColor());
    } else if (button && button->currentTitle()) {
        json.key("font");
        writeFont(json, button->titleFont());
        json.key("textColor");
        writeColor(json, button->currentTitleColor());
    }

    if (auto* scroll = dynamic_cast<const ScrollView*>(&view)) {
        Size s = scroll->contentSize();
        Point o = scroll->contentOffset();
        json.key("contentSize").beginArray().value(s.width).value(s.height).endArray();
        json.key("contentOffset").beginArray().value(o.x).value(o.y).endArray();
    }

    json.key("children").beginArray();
    for (const auto& child : view.subviews())
        writeView(json, *child);
    json.endArray();
    json.endObject();
}

} // namespace

std::string ViewDump::dumpWindows() { return dumpWindows(screen_geometry::windowsBackToFront()); }

std::string ViewDump::dumpWindows(const std::vector<std::shared_ptr<Window>>& windows)
{
    JsonWriter json;
    json.beginObject().key("windows").beginArray();
    for (const auto& window : windows)
        writeView(json, *window);
    json.endArray().endObject();
    return json.str();
}

std::optional<std::string> ViewDump::writeWindows(const std::filesystem::path& path)
{
    if (path.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (ec)
            return fmt::format("cannot create {}: {}", path.parent_path().string(), ec.message());
    }
    return writeFileAtomically(path, dumpWindows() + "\n");
}

} // namespace vq
