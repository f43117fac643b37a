#include "promotion/ads/RewardAd.h"

#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "core/Timer.h"
#include "graphics/Font.h"
#include "graphics/Screen.h"
#include "promotion/ads/RewardCell.h"
#include "promotion/AppDetector.h"
#include "promotion/Gobals.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/Reportor.h"
#include "promotion/ShownText.h"
#include "promotion/WebImageView.h"
#include "system/DeviceVariant.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/ProgressView.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace vq {

namespace {

constexpr const char* kCellIdentifier = "Cell";
constexpr const char* kHelpText = "1. Install the free apps and run for 30 seconds\n\n\n"
                                  "2. Reopen this page and check your credits\n\n\n"
                                  "3. Earned enough credits and restart this app to enjoy your reward";

// A string as it stands, a number in decimal; nothing for anything else, so
// a dictionary or an array never ends up in a report or on a button.
std::optional<std::string> field(const PlistValue* item, const char* key)
{
    return item ? identifierValueOf(item->find(key)) : std::nullopt;
}

// Credits shown as "%d": the list's figure, kept in the range an int holds.
int credits(const PlistValue* value)
{
    std::int64_t n = integerValueOf(value);
    return static_cast<int>(
        std::clamp<std::int64_t>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::shared_ptr<Button> imageButton(Rect frame, const char* image)
{
    auto button = Button::create(frame);
    button->setImage(Gobals::imageWithFileName(image), ControlState::Normal);
    return button;
}

Rect centred(Size size, Size in) { return {(in.width - size.width) / 2, (in.height - size.height) / 2, size.width, size.height}; }

} // namespace

std::shared_ptr<RewardAd> RewardAd::create() { return std::make_shared<RewardAd>(); }

RewardAd::~RewardAd()
{
    stopProgressTimer();
    // Released while it slides down, its page would stay in the window for good.
    if (_view)
        _view->removeFromSuperview();
}

std::shared_ptr<RewardAd> RewardAd::self() { return std::static_pointer_cast<RewardAd>(shared_from_this()); }

std::string RewardAd::rewardDescription(const std::optional<std::string>& templateText, long long target)
{
    const std::string& text = templateText ? *templateText : std::string(kDefaultRewardDescription);
    std::string number = std::to_string(target);
    std::string out;
    out.reserve(text.size() + number.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char next = text[i + 1];
        if (next == 's') {
            out += number;
        } else {
            // "%%" too stays as written, and "%%s" is not a placeholder.
            out += '%';
            out += next;
        }
        ++i;
    }
    return out;
}

void RewardAd::setContentInfo(std::shared_ptr<const PlistValue> dict)
{
    if (!dict)
        return;
    _dict = std::move(dict);
    detectApps();
    initUI();
    initUIContent();
}

int RewardAd::itemCount() const
{
    const PlistValue* items = _dict ? findKeyPath(*_dict, "reward") : nullptr;
    return items && items->array() ? static_cast<int>(items->array()->size()) : 0;
}

const PlistValue* RewardAd::item(int index) const
{
    if (index < 0 || index >= itemCount())
        return nullptr;
    const PlistValue& value = (*findKeyPath(*_dict, "reward")->array())[static_cast<std::size_t>(index)];
    // An item that is not a dictionary has none of the keys.
    return value.isDictionary() ? &value : nullptr;
}

void RewardAd::detectApps()
{
    std::vector<std::optional<std::string>> schemes;
    std::vector<std::optional<std::string>> appIds;
    for (int i = 0; i < itemCount(); ++i) {
        const PlistValue* it = item(i);
        schemes.push_back(it ? stringValueOf(it->find("scheme")) : std::nullopt);
        appIds.push_back(field(it, "app_id"));
    }
    auto answers = AppDetector().isInstalledAppsWithSchemes(schemes);
    std::vector<std::string> installed;
    for (std::size_t i = 0; i < answers.size() && i < appIds.size(); ++i)
        if (answers[i] && appIds[i])
            installed.push_back(*appIds[i]);
    Reportor::instance()->reportInstalledApps(installed);
}

void RewardAd::initUI()
{
    const bool tablet = isTablet();
    Rect app = Screen::main().applicationFrame();
    const double W = app.width(), H = app.height();
    auto me = self();

    _view = View::create({0, H, W, H});
    _view->setTag(kRootTag);
    const double vW = _view->bounds().width(), vH = _view->bounds().height();

    _rewardBanner = ImageView::create(tablet ? Rect{0, 0, vW, vH} : Rect{0, 0, vW, 137});
    _rewardBanner->setImage(Gobals::imageWithFileName(tablet ? "ad-reward-ipad" : "ad-reward"));
    _view->addSubview(_rewardBanner);

    auto makeTable = [&](Rect frame, int tag) {
        auto table = TableView::create(frame, TableViewStyle::Plain);
        table->setTag(tag);
        table->setSeparatorStyle(TableViewCellSeparatorStyle::None);
        table->setBackgroundColor(Color::clearColor());
        table->setShowsVerticalScrollIndicator(false);
        table->setRowHeight(tablet ? 110 : 73);
        table->setDataSource(std::weak_ptr<TableViewDataSource>(me));
        table->setDelegate(std::weak_ptr<TableViewDelegate>(me));
        return table;
    };
    std::shared_ptr<TableView> rightTable;
    if (tablet) {
        _view->addSubview(makeTable({0, 215, 375, vH - 215}, kLeftTableTag));
        rightTable = makeTable({392, 215, 375, vH - 215}, kRightTableTag);
    } else {
        auto table = makeTable({0, 137, vW, vH - 137}, kLeftTableTag);
        auto background = ImageView::create(Rect{0, 0, table->bounds().width(), table->bounds().height()});
        background->setImage(Gobals::imageWithFileName("ad-bg"));
        table->setBackgroundView(background);
        _view->addSubview(table);
    }

    std::weak_ptr<RewardAd> weak = me;
    auto back = imageButton(tablet ? Rect{0, 0, 98, 54} : Rect{0, 0, 58, 44}, tablet ? "ad-back-ipad" : "ad-back");
    back->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto s = weak.lock())
            s->hideAd();
    });
    _view->addSubview(back);
    _backButton = back;

    _rewardTitle = Label::create(tablet ? Rect{W / 2 - 250, 25 - 15, 500, 30} : Rect{W / 2 - 100, 22 - 15, 200, 30});
    _rewardTitle->setFont(Font::boldSystemFont(tablet ? 28 : 20));
    _rewardTitle->setTextColor(Color::whiteColor());
    _rewardTitle->setTextAlignment(TextAlignment::Center);
    _rewardTitle->setBackgroundColor(Color::clearColor());
    _view->addSubview(_rewardTitle);

    _unlockDetail = Label::create(tablet ? Rect{30, 60, 708, 60} : Rect{10, 55, 300, 40});
    _unlockDetail->setFont(Font::systemFont(tablet ? 24 : 14));
    _unlockDetail->setTextColor(Color::whiteColor());
    _unlockDetail->setBackgroundColor(Color::clearColor());
    _unlockDetail->setNumberOfLines(0);
    _unlockDetail->setLineBreakMode(LineBreakMode::TruncateTail);
    _view->addSubview(_unlockDetail);

    _earnProgress =
        ProgressView::create(ProgressViewStyle::Bar, tablet ? Rect{30, 130, 566, 35} : Rect{10, 105, 240, 16});
    _earnProgress->setProgressImage(
        Gobals::imageWithFileName(tablet ? "ad-reward-progress-ipad" : "ad-reward-progress"));
    _earnProgress->setTrackImage(Gobals::imageWithFileName(tablet ? "ad-reward-track-ipad" : "ad-reward-track"));
    _view->addSubview(_earnProgress);

    _earnPercent = Label::create(tablet ? Rect{610, 131, 150, 30} : Rect{250, 97, 70, 30});
    _earnPercent->setFont(Font::boldSystemFont(tablet ? 40 : 20));
    _earnPercent->setBackgroundColor(Color::clearColor());
    _earnPercent->setTextAlignment(TextAlignment::Center);
    _earnPercent->setTextColor(Color::rgba(0.1f, 0.5f, 0.8f, 1));
    _view->addSubview(_earnPercent);

    auto help = imageButton(tablet ? Rect{vW - 96, 0, 96, 54} : Rect{vW - 58, 0, 58, 44},
                            tablet ? "ad-reward-help-ipad" : "ad-reward-help");
    help->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto s = weak.lock())
            s->showHelpView();
    });
    _view->addSubview(help);
    _helpButton = help;

    if (rightTable)
        _view->addSubview(rightTable);

    auto closeHelp = [weak] {
        if (auto s = weak.lock())
            s->hideHelpView();
    };
    _helpMaskView = Button::create(_view->bounds());
    _helpMaskView->setBackgroundColor(Color::blackColor());
    _helpMaskView->setAlpha(0);
    _helpMaskView->addAction(ControlEvent::TouchUpInside, closeHelp);
    _view->addSubview(_helpMaskView);

    Size card = tablet ? Size{560, 790} : Size{326, 400};
    _helpView = View::create(centred(card, {vW, vH}));
    _helpView->setAlpha(0);
    auto picture = ImageView::create(centred(tablet ? Size{534, 765} : Size{298, 389}, card));
    picture->setImage(Gobals::imageWithFileName(tablet ? "ad-reward-bg-help-ipad" : "ad-reward-bg-help"));
    _helpView->addSubview(picture);
    auto text = Label::create(centred(tablet ? Size{460, 650} : Size{258, 329}, card));
    text->setFont(Font::systemFont(tablet ? 36 : 18));
    text->setTextColor(Color::whiteColor());
    text->setBackgroundColor(Color::clearColor());
    text->setNumberOfLines(0);
    text->setLineBreakMode(LineBreakMode::WordWrap);
    text->setText(kHelpText);
    _helpView->addSubview(text);
    auto close = imageButton(tablet ? Rect{0, 0, 51, 51} : Rect{3, 0, 28, 28}, tablet ? "ad-close-ipad" : "ad-close");
    close->addAction(ControlEvent::TouchUpInside, closeHelp);
    _helpView->addSubview(close);
    _helpCloseButton = close;
    _view->addSubview(_helpView);
}

void RewardAd::initUIContent()
{
    const int target = credits(findKeyPath(*_dict, "base.unlock_point"));
    const int current = credits(findKeyPath(*_dict, "base.current_point"));
    // Capped before the credits go in as well: every "%s" of a long text would multiply it.
    auto description = stringValueOf(findKeyPath(*_dict, "base.reward_desc"));
    if (description)
        description = shownText(description);
    _unlockDetail->setText(shownText(rewardDescription(description, target)));
    _rewardTitle->setText("Free Rewards");
    _earnPercent->setText(fmt::format("{}/{}", current, target));

    stopProgressTimer();
    // No goal, or no credits towards it: an empty bar.
    if (target <= 0 || current <= 0) {
        _progress = 0;
        return;
    }
    _progress = std::min(1.0f, static_cast<float>(current) / static_cast<float>(target));
    if (_progress == 0)
        return;
    std::weak_ptr<RewardAd> weak = self();
    _progressTimer = Timer::scheduledTimer(kProgressInterval, true, [weak](Timer& timer) {
        if (auto s = weak.lock())
            s->progressChanged();
        else
            timer.invalidate();
    });
}

void RewardAd::progressChanged()
{
    if (!_earnProgress) {
        stopProgressTimer();
        return;
    }
    float value = _earnProgress->progress();
    // A full bar can never pass a target of 1: stop there too.
    if (value <= _progress && value < 1.0f)
        _earnProgress->setProgress(value + kProgressStep);
    else
        stopProgressTimer();
}

bool RewardAd::isProgressTimerRunning() const { return _progressTimer && _progressTimer->isValid(); }

void RewardAd::stopProgressTimer()
{
    if (_progressTimer)
        _progressTimer->invalidate();
    _progressTimer.reset();
}

void RewardAd::showAd()
{
    auto keep = shared_from_this();
    log("reward ad show");
    if (_view) {
        ++_slides;
        Gobals::addRootViewToWindow(_view);
        Rect app = Screen::main().applicationFrame();
        const double W = app.width(), H = app.height();
        Rect to = Gobals::isFullScreen() ? Rect{0, 0, W, H + 20} : Rect{0, 20, W, H};
        View::animate(0.3, [&] { _view->setFrame(to); });
    }
    if (auto d = delegate())
        d->adDidShowed(*this);
    Reportor::instance()->reportDisplay("reward", std::nullopt);
}

void RewardAd::hideAd()
{
    auto keep = shared_from_this();
    log("reward ad hide");
    if (_view) {
        unsigned slide = ++_slides;
        Rect app = Screen::main().applicationFrame();
        const double W = app.width(), H = app.height();
        Rect to = Gobals::isFullScreen() ? Rect{0, H + 20, W, H + 20} : Rect{0, H, W, H};
        std::weak_ptr<RewardAd> weak = self();
        View::animate(0.3, [&] { _view->setFrame(to); }, [weak, slide](bool) {
            auto s = weak.lock();
            // Shown again meanwhile: the page stays.
            if (s && s->_slides == slide && s->_view)
                s->_view->removeFromSuperview();
        });
    }
    if (auto d = delegate())
        d->adDidHided(*this);
}

void RewardAd::showHelpView()
{
    if (!_view)
        return;
    _view->bringSubviewToFront(_helpView);
    _helpView->setTransform(AffineTransform::makeScale(0.1, 0.1));
    _helpView->setAlpha(0);
    View::animate(0.3, [&] { _helpMaskView->setAlpha(0.5f); });
    View::animate(0.3, [&] {
        _helpView->setTransform(AffineTransform::identity());
        _helpView->setAlpha(1);
    });
}

void RewardAd::hideHelpView()
{
    if (!_view)
        return;
    View::animate(0.1, [&] { _helpMaskView->setAlpha(0); });
    View::animate(0.3, [&] {
        _helpView->setTransform(AffineTransform::makeScale(0.1, 0.1));
        _helpView->setAlpha(0);
    });
}

int RewardAd::numberOfRowsInSection(TableView& tableView, int)
{
    const int n = itemCount();
    if (!isTablet())
        return n;
    return tableView.tag() == kRightTableTag ? n / 2 : n / 2 + n % 2;
}

int RewardAd::itemIndex(const TableView& tableView, int row) const
{
    if (!isTablet())
        return row;
    return tableView.tag() == kRightTableTag ? 2 * row + 1 : 2 * row;
}

double RewardAd::heightForRowAtIndexPath(TableView&, const IndexPath&) { return isTablet() ? 110 : 73; }

std::shared_ptr<TableViewCell> RewardAd::cellForRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
{
    const bool tablet = isTablet();
    auto cell = std::dynamic_pointer_cast<RewardCell>(tableView.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell) {
        cell = RewardCell::create(TableViewCellStyle::Default, kCellIdentifier);
        cell->setSelectionStyle(TableViewCellSelectionStyle::Blue);
        const char* row = !tablet ? "ad-reward-row-2" : (indexPath.row % 2 ? "ad-reward-row-2-ipad" : "ad-reward-row-1-ipad");
        cell->backgroundImageView()->setImage(Gobals::imageWithFileName(row));
        std::weak_ptr<RewardAd> weak = self();
        std::weak_ptr<Button> button = cell->rewardPoint();
        cell->rewardPoint()->addAction(ControlEvent::TouchUpInside, [weak, button] {
            auto s = weak.lock();
            auto b = button.lock();
            if (s && b)
                s->rewardPointClick(*b);
        });
    }
    const int index = itemIndex(tableView, indexPath.row);
    cell->rewardPoint()->setTag(index);
    if (index >= itemCount())
        return cell;

    const PlistValue* it = item(index);
    auto base = stringValueOf(findKeyPath(*_dict, "base.base_url"));
    auto icon = field(it, "icon_lnk");
    cell->appIcon()->setLink(base && icon ? std::optional<std::string>(*base + *icon) : std::nullopt);
    cell->appIcon()->startDownloading();
    cell->appName()->setText(shownText(field(it, "title")));
    cell->appDetail()->setText(shownText(field(it, "content")));
    const bool installed = AppDetector().isInstalledAppHWithScheme(it ? stringValueOf(it->find("scheme")) : std::nullopt);
    cell->rewardPoint()->setTitle(installed ? std::string("Installed") : "+" + shownText(field(it, "earn").value_or("0")),
                                  ControlState::Normal);
    cell->setInstalled(installed);
    return cell;
}

void RewardAd::didSelectRowAtIndexPath(TableView& tableView, const IndexPath& indexPath)
{
    auto keep = shared_from_this();
    const int index = itemIndex(tableView, indexPath.row);
    tableView.deselectRowAtIndexPath(indexPath, true);
    handleClickApp(index);
}

void RewardAd::rewardPointClick(const Button& sender) { handleClickApp(sender.tag()); }

void RewardAd::handleClickApp(int index)
{
    auto keep = shared_from_this();
    // Rows past the end of the list open nothing.
    if (index < 0 || index >= itemCount())
        return;
    const PlistValue* it = item(index);
    if (AppDetector().isInstalledAppHWithScheme(it ? stringValueOf(it->find("scheme")) : std::nullopt)) {
        log("已安装的应用，不响应点击");
        return;
    }
    if (_linkHandler)
        _linkHandler->handleLink(field(it, "target_lnk"), field(it, "app_id"));
    Reportor::instance()->reportClick("reward", field(it, "id"), field(it, "app_id"));
}

std::shared_ptr<Button> RewardAd::backButton() const { return _backButton.lock(); }
std::shared_ptr<Button> RewardAd::helpButton() const { return _helpButton.lock(); }
std::shared_ptr<Button> RewardAd::helpCloseButton() const { return _helpCloseButton.lock(); }

} // namespace vq
