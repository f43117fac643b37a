#include "promotion/LinkHandling.h"

#include "core/Log.h"
#include "core/Url.h"
#include "promotion/Gobals.h"
#include "system/AlertView.h"
#include "system/Application.h"

#include <algorithm>
#include <cctype>

namespace vq::links {

namespace {

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return !part.empty() && it != text.end();
}

// The second piece of text split at every separator: between the first and
// the next occurrence, or to the end.
std::optional<std::string> secondPiece(std::string_view text, std::string_view separator)
{
    auto first = text.find(separator);
    if (first == std::string_view::npos)
        return std::nullopt;
    auto start = first + separator.size();
    auto next = text.find(separator, start);
    return std::string(text.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start));
}

} // namespace

std::optional<std::string> getIDFromString(const std::optional<std::string>& text, std::string_view storeHost)
{
    if (!text)
        return std::nullopt;
    std::string_view s = *text;
    if (containsIgnoringCase(s, storeHost)) {
        auto path = s.substr(0, s.find('?'));
        return secondPiece(path, "/id");
    }
    return secondPiece(s, "?id");
}

void openURL(const std::optional<std::string>& escaped)
{
    if (!escaped)
        return;
    if (auto url = Url::parse(*escaped))
        Application::shared().openURL(*url);
    else
        log("cannot open {}", *escaped);
}

void StorePages::present(const std::string& appId, const std::weak_ptr<StoreProductPageDelegate>& delegate)
{
    auto page = StoreProductPage::create();
    page->setDelegate(delegate);
    _pages.push_back(page);
    page->loadProduct(appId, [](bool loaded, const std::optional<std::string>&) {
        if (!loaded)
            AlertView::create("Uh oh!", "There was a problem displaying the app", {}, "Ok")->show();
    });
    Gobals::presentControllerInFront(page);
}

void StorePages::finish(StoreProductPage& page, std::function<void()> done)
{
    page.dismissViewController(true, [this, target = &page, done = std::move(done)] {
        std::erase_if(_pages, [target](const auto& held) { return held.get() == target; });
        if (done)
            done();
    });
}

} // namespace vq::links
