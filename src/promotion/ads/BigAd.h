#pragma once

#include "promotion/ads/Ad.h"

#include <memory>

namespace vq {

class AdOverlay;
class Button;
class Label;
class View;
class WebImageView;

// One promoted app on a card that drops in over a dimmed screen: its
// picture, title, description, a close and a get button, from the list's
// "bigads" section. Not shown when the app is installed; that is reported.
class BigAd final : public Ad {
public:
    static std::shared_ptr<BigAd> create();
    ~BigAd() override;

    void showAd() override;
    void hideAd() override;
    void setContentInfo(std::shared_ptr<const PlistValue> dict) override;
    // The get button's action: the store page and a click report.
    void downloadApp();

    bool allowAdStatus() const { return _allowAdStatus; }

    const std::shared_ptr<AdOverlay>& overlay() const { return _overlay; }
    std::shared_ptr<View> bigView() const;
    std::shared_ptr<Button> maskView() const;
    std::shared_ptr<View> bigContentView() const;
    const std::shared_ptr<WebImageView>& bigImageView() const { return _bigImageView; }
    const std::shared_ptr<Label>& bigTitle() const { return _bigTitle; }
    const std::shared_ptr<Label>& bigDetail() const { return _bigDetail; }

    BigAd() = default;

private:
    void initUI();
    void initUIContent();

    bool _allowAdStatus = false;
    std::shared_ptr<AdOverlay> _overlay;
    std::shared_ptr<WebImageView> _bigImageView;
    std::shared_ptr<Label> _bigTitle;
    std::shared_ptr<Label> _bigDetail;
};

} // namespace vq
