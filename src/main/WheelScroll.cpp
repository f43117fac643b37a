#include "main/WheelScroll.h"

#include "main/ScreenGeometry.h"

#include "ui/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace vq {

bool scrollWheelAt(Point screenPoint, Point delta)
{
    auto view = screen_geometry::hitTest(screenPoint);
    for (; view; view = view->superview()) {
        auto* scrollView = dynamic_cast<ScrollView*>(view.get());
        if (!scrollView || !scrollView->isScrollEnabled())
            continue;
        Point offset = scrollView->contentOffset();
        Point max = scrollView->maxContentOffset();
        Point target{std::clamp(offset.x + delta.x, 0.0, max.x), std::clamp(offset.y + delta.y, 0.0, max.y)};
        // At its end the wheel goes on to the scroll view around it, as a drag would.
        if (std::abs(target.x - offset.x) < 0.01 && std::abs(target.y - offset.y) < 0.01)
            continue;
        scrollView->setContentOffset(target);
        return true;
    }
    return false;
}

} // namespace vq
