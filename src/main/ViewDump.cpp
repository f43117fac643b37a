#include "main/ViewDump.h"

#include "main/ScreenGeometry.h"

#include "core/Json.h"
#include "core/Paths.h"
#include "graphics/Image.h"
#include "promotion/WebImageView.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ProgressView.h"
#include "ui/ScrollView.h"
#include "ui/TableViewCell.h"
#include "ui/TextView.h"
#include "ui/Window.h"

#include <fmt/format.h>

#include <cmath>
#include <system_error>

namespace vq {

namespace {

// Float alphas would otherwise show as 0.4000000059604645.
double rounded(double v) { return std::round(v * 1000) / 1000; }

Json rectJson(Rect r)
{
    return {jsonNumber(r.origin.x), jsonNumber(r.origin.y), jsonNumber(r.size.width), jsonNumber(r.size.height)};
}

Json colorJson(Color c)
{
    return {static_cast<int>(c.red8()), static_cast<int>(c.green8()), static_cast<int>(c.blue8()),
            jsonNumber(rounded(c.a))};
}

Json fontJson(const Font& font) { return {{"name", font.fontName()}, {"size", jsonNumber(font.pointSize())}}; }

Json imageJson(const std::shared_ptr<Image>& image)
{
    if (image && !image->name().empty())
        return image->name();
    return nullptr;
}

Json viewJson(const View& view)
{
    Json json = Json::object();
    json["class"] = view.className();
    json["frame"] = rectJson(view.frame());
    json["screen"] = rectJson(screen_geometry::screenRect(view));
    json["tag"] = view.tag();
    json["hidden"] = view.isHidden();
    json["alpha"] = jsonNumber(rounded(view.alpha()));

    if (auto* control = dynamic_cast<const Control*>(&view)) {
        json["enabled"] = control->isEnabled();
        json["selected"] = control->isSelected();
    } else if (auto* cell = dynamic_cast<const TableViewCell*>(&view)) {
        json["selected"] = cell->isSelected();
    }

    auto* label = dynamic_cast<const Label*>(&view);
    auto* button = dynamic_cast<const Button*>(&view);
    auto* textView = dynamic_cast<const TextView*>(&view);
    auto* imageView = dynamic_cast<const ImageView*>(&view);
    if (label)
        json["text"] = label->text();
    else if (textView)
        json["text"] = textView->text();
    else if (button) {
        if (auto title = button->currentTitle())
            json["text"] = *title;
    }
    if (auto* web = dynamic_cast<const WebImageView*>(&view)) {
        // Downloaded pictures have no resource name: the cached file's name once it is on show.
        json["link"] = web->link() ? Json(*web->link()) : Json(nullptr);
        json["image"] = web->image() && web->imageFileName() ? Json(*web->imageFileName()) : Json(nullptr);
    } else if (imageView) {
        json["image"] = imageJson(imageView->image());
    } else if (button) {
        json["image"] = imageJson(button->currentImage());
        if (auto background = button->currentBackgroundImage())
            json["backgroundImage"] = imageJson(background);
    }
    if (auto* spinner = dynamic_cast<const ActivityIndicator*>(&view))
        json["animating"] = spinner->isAnimating();
    if (auto* progress = dynamic_cast<const ProgressView*>(&view))
        json["progress"] = jsonNumber(rounded(progress->progress()));
    if (AffineTransform t = view.transform(); !t.isIdentity())
        json["transform"] = {jsonNumber(rounded(t.a)), jsonNumber(rounded(t.d))};

    if (auto bg = view.backgroundColor())
        json["background"] = colorJson(*bg);
    else
        json["background"] = nullptr;

    if (label) {
        json["font"] = fontJson(label->font());
        json["textColor"] = colorJson(label->textColor());
    } else if (textView) {
        json["font"] = fontJson(textView->font());
        json["textColor"] = colorJson(textView->textColor());
    } else if (button && button->currentTitle()) {
        json["font"] = fontJson(button->titleFont());
        json["textColor"] = colorJson(button->currentTitleColor());
    }

    if (auto* scroll = dynamic_cast<const ScrollView*>(&view)) {
        Size s = scroll->contentSize();
        Point o = scroll->contentOffset();
        json["contentSize"] = {jsonNumber(s.width), jsonNumber(s.height)};
        json["contentOffset"] = {jsonNumber(o.x), jsonNumber(o.y)};
    }

    Json& children = json["children"] = Json::array();
    for (const auto& child : view.subviews())
        children.push_back(viewJson(*child));
    return json;
}

} // namespace

std::string ViewDump::dumpWindows() { return dumpWindows(screen_geometry::windowsBackToFront()); }

std::string ViewDump::dumpWindows(const std::vector<std::shared_ptr<Window>>& windows)
{
    Json list = Json::array();
    for (const auto& window : windows)
        list.push_back(viewJson(*window));
    return jsonText({{"windows", std::move(list)}});
}

std::optional<std::string> ViewDump::writeWindows(const std::filesystem::path& path)
{
    if (path.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        if (ec)
            return fmt::format("cannot create {}: {}", path.parent_path().string(), ec.message());
    }
    return writeFileAtomically(path, dumpWindows() + "\n", Durability::OverOldOnly);
}

} // namespace vq
