#pragma once

#include "promotion/ads/Ad.h"
#include "ui/TableView.h"

#include <memory>
#include <optional>
#include <string>

namespace vq {

class Button;
class ImageView;
class Label;
class ProgressView;
class Timer;
class View;

// The reward wall: a page that slides up from the bottom with the user's
// credits against the target, a filling progress bar, a help card and the
// promoted apps with the credits each earns (one table, two on a tablet).
class RewardAd final : public Ad, public TableViewDataSource, public TableViewDelegate {
public:
    static constexpr int kRootTag = 457260342;
    static constexpr int kLeftTableTag = 101;
    static constexpr int kRightTableTag = 102;
    // Between two steps of the bar fill, and the size of each step.
    static constexpr double kProgressInterval = 0.015;
    static constexpr float kProgressStep = 0.01f;
    // Said when the list has no description of its own.
    static constexpr const char* kDefaultRewardDescription = "Install the apps below and earn %s credits to unlock your reward";

    static std::shared_ptr<RewardAd> create();
    ~RewardAd() override;

    void showAd() override;
    void hideAd() override;
    void setContentInfo(std::shared_ptr<const PlistValue> dict) override;

    void showHelpView();
    void hideHelpView();
    // One step of the bar fill.
    void progressChanged();
    // Opens item index's store page and reports the click, unless it is installed.
    void handleClickApp(int index);
    void rewardPointClick(const Button& sender);

    // Table data source and delegate.
    int numberOfSections(TableView&) override { return 1; }
    int numberOfRowsInSection(TableView& tableView, int section) override;
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;
    double heightForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath) override;

    // "base.reward_desc" with every "%s" replaced by the target; nothing else
    // in it is read as a format.
    static std::string rewardDescription(const std::optional<std::string>& templateText, long long target);

    const std::shared_ptr<View>& view() const { return _view; }
    const std::shared_ptr<ImageView>& rewardBanner() const { return _rewardBanner; }
    const std::shared_ptr<Label>& rewardTitle() const { return _rewardTitle; }
    const std::shared_ptr<Label>& unlockDetail() const { return _unlockDetail; }
    const std::shared_ptr<Label>& earnPercent() const { return _earnPercent; }
    const std::shared_ptr<ProgressView>& earnProgress() const { return _earnProgress; }
    const std::shared_ptr<View>& helpView() const { return _helpView; }
    const std::shared_ptr<Button>& helpMaskView() const { return _helpMaskView; }
    bool allowAdStatus() const { return _allowAdStatus; }
    // The filling timer, while one runs.
    bool isProgressTimerRunning() const;
    float targetProgress() const { return _progress; }

    // Found through the view tree (the page holds them).
    std::shared_ptr<Button> backButton() const;
    std::shared_ptr<Button> helpButton() const;
    std::shared_ptr<Button> helpCloseButton() const;

    RewardAd() = default;

private:
    void detectApps();
    void initUI();
    void initUIContent();
    void stopProgressTimer();
    std::shared_ptr<RewardAd> self();
    // The item behind a row of a table; -1 for none.
    int itemIndex(const TableView& tableView, int row) const;
    int itemCount() const;
    const PlistValue* item(int index) const;

    std::shared_ptr<View> _view;
    std::shared_ptr<ImageView> _rewardBanner;
    std::shared_ptr<Label> _rewardTitle;
    std::shared_ptr<Label> _unlockDetail;
    std::shared_ptr<Label> _earnPercent;
    std::shared_ptr<ProgressView> _earnProgress;
    std::shared_ptr<View> _helpView;
    std::shared_ptr<Button> _helpMaskView;
    std::weak_ptr<Button> _backButton;
    std::weak_ptr<Button> _helpButton;
    std::weak_ptr<Button> _helpCloseButton;

    float _progress = 0;
    std::shared_ptr<Timer> _progressTimer;
    bool _allowAdStatus = false;
    // Counts slides, so a slide down that ends after a new slide up leaves the page.
    unsigned _slides = 0;
};

} // namespace vq
