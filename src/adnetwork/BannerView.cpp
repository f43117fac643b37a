#include "adnetwork/BannerView.h"

#include "platform/Screen.h"

namespace vq {

namespace {
// Screens taller than this get the large banner.
constexpr double kLargeBannerScreenHeight = 720;
} // namespace

Size BannerView::sizeFor(AdSize)
{
    Rect screen = Screen::main().bounds();
    return {screen.width(), screen.height() > kLargeBannerScreenHeight ? 90.0 : 50.0};
}

std::shared_ptr<BannerView> BannerView::create(AdSize size)
{
    return std::shared_ptr<BannerView>(new BannerView(Rect{{0, 0}, sizeFor(size)}));
}

BannerView::BannerView(Rect frame) : View(frame) {}

void BannerView::loadRequest(const AdRequest& request)
{
    ++_loadCount;
    _lastRequest = request;
    _requestedUnitIDs.push_back(_adUnitID);
}

} // namespace vq
