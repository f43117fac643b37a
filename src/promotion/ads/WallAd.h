#pragma once

#include "core/Geometry.h"
#include "promotion/ads/Ad.h"
#include "ui/ScrollView.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
// are badged and take no taps. The grid's cells (and their icons) are built
// for the rows within a page of what shows, as it scrolls: a list may name
// thousands of apps.
class WallAd final : public Ad, public ScrollViewDelegate {
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

    void scrollViewDidScroll(ScrollView& scrollView) override;
    // Where the grid cell of the app at that index of "wall" is, built or not.
    std::optional<Rect> rectForSubviewWithTag(ScrollView& scrollView, int tag) override;

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
    // Builds what comes within a page of the visible rows and lets go of the rest.
    void showRowsNearView();
    std::shared_ptr<Button> makeCell(std::size_t index);
    // Root, dimmer, card and their animations.
    std::shared_ptr<AdOverlay> _overlay;
    std::shared_ptr<View> _wallView;
    std::shared_ptr<Button> _maskView;
    std::shared_ptr<View> _wallContentView;
    std::shared_ptr<ScrollView> _contentScrollView;
    std::shared_ptr<Label> _appName;
    std::shared_ptr<WebImageView> _appIcon;
    int _rows = 0; // grid rows, the featured app aside
    std::vector<bool> _installed; // by index of "wall"
    std::map<int, std::shared_ptr<View>> _rowBackgrounds;
    std::map<std::size_t, std::shared_ptr<Button>> _cells;
};

} // namespace vq
