#include "promotion/ads/RewardCell.h"

#include "graphics/Font.h"
#include "net/HttpRequest.h"
#include "promotion/Gobals.h"
#include "promotion/WebImageView.h"
#include "system/DeviceVariant.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"

namespace vq {

namespace {

// Our stand-in for the phone's system face is wider than the phone's own:
// "Installed" in its bold cut at the row's sizes is a couple of points wider
// than the button (59 against 57 on phones, 88 against 87 on tablets) and
// would show cut short. The condensed bold cut of the same face is about as
// wide as the phone's, so the installed title takes that when it is there.
Font installedTitleFont(double size)
{
    return Font::fontWithName("DejaVuSansCondensed-Bold", size).value_or(Font::boldSystemFont(size));
}

} // namespace

std::shared_ptr<RewardCell> RewardCell::create(TableViewCellStyle style, std::string reuseIdentifier)
{
    std::shared_ptr<RewardCell> cell(new RewardCell(style, std::move(reuseIdentifier)));
    cell->initViews();
    return cell;
}

RewardCell::RewardCell(TableViewCellStyle style, std::string reuseIdentifier)
    : TableViewCell(style, std::move(reuseIdentifier))
{
}

void RewardCell::initViews()
{
    const bool tablet = isTablet();
    // The row's picture is its background; its rounded corners show the table behind.
    setBackgroundColor(Color::clearColor());
    // The cell's own content view goes first, so it lies under the row's views
    // instead of covering the credits button.
    contentView();

    _backgroundImageView = ImageView::create(bounds());
    if (!tablet)
        _backgroundImageView->setImage(Gobals::imageWithFileName("ad-reward-row"));
    addSubview(_backgroundImageView);

    _appIcon = WebImageView::create(tablet ? Rect{10, 20, 72, 72} : Rect{10, 7, 57, 57});
    addSubview(_appIcon);

    _appName = Label::create(tablet ? Rect{100, 15, 180, 30} : Rect{85, 5, 173, 30});
    _appName->setFont(Font::boldSystemFont(tablet ? 20 : 16));
    _appName->setTextColor(Color::whiteColor());
    _appName->setBackgroundColor(Color::clearColor());
    addSubview(_appName);

    _appDetail = Label::create(tablet ? Rect{100, 45, 180, 50} : Rect{85, 30, 173, 40});
    _appDetail->setFont(Font::systemFont(tablet ? 14 : 12));
    _appDetail->setTextColor(Color::grayColor());
    _appDetail->setBackgroundColor(Color::clearColor());
    _appDetail->setNumberOfLines(0);
    _appDetail->setLineBreakMode(LineBreakMode::TruncateTail);
    addSubview(_appDetail);

    _rewardPoint = Button::create(tablet ? Rect{280, 30, 87, 46} : Rect{258, 15, 57, 30});
    _rewardPoint->setBackgroundImage(Gobals::imageWithFileName(tablet ? "ad-reward-free-ipad" : "ad-reward-free"),
                                     ControlState::Normal);
    // Installed apps' buttons are disabled: a muted face says so at a glance.
    _rewardPoint->setBackgroundImage(
        Gobals::imageWithFileName(tablet ? "ad-reward-installed-ipad" : "ad-reward-installed"), ControlState::Disabled);
    addSubview(_rewardPoint);

    _rewardPointDescription = Label::create(tablet ? Rect{280, 60, 87, 46} : Rect{258, 40, 57, 30});
    _rewardPointDescription->setFont(Font::systemFont(tablet ? 16 : 12));
    _rewardPointDescription->setTextColor(Color::lightGrayColor());
    _rewardPointDescription->setTextAlignment(TextAlignment::Center);
    _rewardPointDescription->setBackgroundColor(Color::clearColor());
    _rewardPointDescription->setText("Credits");
    addSubview(_rewardPointDescription);
}

void RewardCell::setFrame(Rect frame)
{
    TableViewCell::setFrame(frame);
    Rect whole{0, 0, frame.width(), frame.height()};
    if (_backgroundImageView)
        _backgroundImageView->setFrame(whole);
    if (auto selected = selectedBackgroundView())
        selected->setFrame(whole);
}

void RewardCell::prepareForReuse()
{
    TableViewCell::prepareForReuse();
    if (const auto& request = _appIcon->request())
        request->clearDelegatesAndCancel();
    _appIcon->loadingView()->stopAnimating();
    _appIcon->setImage(nullptr);
}

void RewardCell::setInstalled(bool installed)
{
    _installed = installed;
    _rewardPoint->setEnabled(!installed);
    _rewardPointDescription->setHidden(installed);
    _rewardPoint->setTitleColor(installed ? Color::grayColor() : Color::whiteColor(), ControlState::Normal);
    if (isTablet()) {
        _rewardPoint->setFrame(installed ? Rect{280, 35, 87, 46} : Rect{280, 25, 87, 46});
        _rewardPoint->setTitleFont(installed ? installedTitleFont(18) : Font::boldSystemFont(26));
    } else {
        _rewardPoint->setFrame(installed ? Rect{258, 20, 57, 30} : Rect{258, 15, 57, 30});
        _rewardPoint->setTitleFont(installed ? installedTitleFont(12) : Font::boldSystemFont(18));
    }
}

} // namespace vq
