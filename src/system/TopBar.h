#pragma once

#include "graphics/Font.h"

#include <functional>
#include <memory>
#include <string>

namespace vq {

class Button;
class View;

// The bar across the top of a page the system shows over the app (the
// composer, the store page): light grey, as wide as the page.
class TopBar {
public:
    static constexpr double kHeight = 44;

    // Adds the bar at the top of root.
    static std::shared_ptr<View> addTo(View& root);
    // A blue title sized to fit at the bar's left or right end; action runs on a tap.
    enum class End { Left, Right };
    static std::shared_ptr<Button> addButton(View& bar, End end, const std::string& title, const Font& font,
                                             std::function<void()> action);
};

} // namespace vq
