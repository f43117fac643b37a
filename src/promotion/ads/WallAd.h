#pragma once

#include "platform/Geometry.h"
#include "promotion/ads/Ad.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

class AdOverlay;
class Button;
class Label;
class ScrollView;
class TapGestureRecognizer;
class View;
class WebImageView;

// A card of the maker's apps dropped over the screen: the first of "wall"
// featured at the top, the others in a scrolling grid. Installed grid apps
// are badged and take no taps.
class WallAd final : public Ad {
public:
    static std::shared_ptr<WallAd> create();

    void showAd() override;
    void hideAd() override;
    void setContentInfo(std::shared_ptr<const PlistValue> dict) override;

    // A grid cell or the get button: the app at the button's tag.
    void downloadApp(Button& sender);
    // The featured icon.
    void firstAppTap(TapGestureRecognizer& recognizer);
    // Reports the click on item index of "wall", then opens its store page.
    // An index with no item does nothing.
    void handleClickAppWithTag(int index);

    bool allowAdStatus() const { return false; }

    const std::shared_ptr<View>& wallView() const { return _wallView; }
    const std::shared_ptr<Button>& maskView() const { return _maskView; }
    const std::shared_ptr<View>& wallContentView() const { return _wallContentView; }
    const std::shared_ptr<ScrollView>& contentScrollView() const { return _contentScrollView; }
    const std::shared_ptr<Label>& appName() const { return _appName; }
    const std::shared_ptr<WebImageView>& appIcon() const { return _appIcon; }
    // Held by the view tree only.
    std::shared_ptr<Button> closeButton() const;
    std::shared_ptr<Button> getButton() const;

    WallAd() = default;

private:
    void initUI();
    void initUIContent();
    // Root, dimmer, card and their animations.
    std::shared_ptr<AdOverlay> _overlay;
    std::shared_ptr<View> _wallView;
    std::shared_ptr<Button> _maskView;
    std::shared_ptr<View> _wallContentView;
    std::shared_ptr<ScrollView> _contentScrollView;
    std::shared_ptr<Label> _appName;
    std::shared_ptr<WebImageView> _appIcon;
};

} // namespace vq
