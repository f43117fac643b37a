#pragma once

#include "system/StoreProductPage.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vq {

// What both link handlers share.
namespace links {

// The store identifier in a store URL: on the store's web host the text
// after the first "/id" of the path (up to the next "/id"); elsewhere the
// text after the first "?id" (up to the next one). Nothing when neither is there.
std::optional<std::string> getIDFromString(const std::optional<std::string>& text, std::string_view storeHost);

// Asks the platform to open an escaped link; nothing for a missing or malformed one.
void openURL(const std::optional<std::string>& escaped);

// Presents store pages and keeps each until its Done has dismissed it.
class StorePages {
public:
    // A failed load shows the "Uh oh!" alert over the page.
    void present(const std::string& appId, const std::weak_ptr<StoreProductPageDelegate>& delegate);
    // Dismisses the page; done runs once it is gone and released.
    void finish(StoreProductPage& page, std::function<void()> done);

private:
    std::vector<std::shared_ptr<StoreProductPage>> _pages;
};

} // namespace links
} // namespace vq
