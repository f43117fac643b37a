#include "promotion/ads/WallAd.h"

#include "core/Log.h"
#include "core/PropertyListValues.h"
#include "promotion/ads/AdOverlay.h"
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
#include "ui/ScrollView.h"
#include "ui/TapGestureRecognizer.h"

#include <algorithm>
#include <cmath>

namespace vq {

namespace {

struct Geometry {
    Size card;
    const char* cardPicture;
    Rect scroll;
    Rect close;
    const char* closePicture;
    Rect name;
    double nameSize;
    Rect icon;
    Rect get;
    const char* getPicture;
    int columns;
    int minimumRows;
    double pitch;
    Size cell;
    Rect cellIcon;
    Rect cellName;
    double cellNameSize;
    Rect badge;
    const char* badgePicture;
    const char* rowPicture;
    // Added to the content height below the last row.
    double contentExtra;
};

const Geometry& geometry()
{
    static const Geometry phone{{304, 400}, "ad-wall", {11, 122, 282, 263}, {-5, -5, 28, 28}, "ad-close",
                                {125, 25, 150, 30}, 20, {27, 26, 72, 72}, {155, 85, 109, 26}, "ad-get", 3, 3, 89,
                                {95, 90}, {20, 10, 57, 57}, {5, 67, 80, 25}, 10, {62, 5, 20, 20}, "ad-installed",
                                "ad-wall-row", 0};
    static const Geometry tall = [] {
        Geometry g = phone;
        g.card = {304, 486};
        g.cardPicture = "ad-wall-i5";
        g.scroll = {11, 122, 282, 349};
        g.minimumRows = 4;
        return g;
    }();
    static const Geometry tablet{{534, 765}, "ad-wall-ipad", {17, 159, 500, 587}, {-10, -10, 51, 51},
                                 "ad-close-ipad", {205, 30, 250, 35}, 30, {51, 35, 100, 100}, {300, 105, 174, 40},
                                 "ad-get-ipad", 4, 5, 117, {126, 117}, {25, 15, 72, 72}, {8, 87, 110, 25}, 12,
                                 {82, 7, 25, 25}, "ad-installed-ipad", "ad-wall-row-ipad", 10};
    switch (currentDeviceVariant()) {
    case DeviceVariant::Tablet: return tablet;
    case DeviceVariant::TallPhone: return tall;
    case DeviceVariant::Phone: break;
    }
    return phone;
}

// Grid item k (k >= 1: the first of "wall" is featured) in rows of g.columns.
int rowOf(std::size_t k) { return static_cast<int>((k - 1) / static_cast<std::size_t>(geometry().columns)); }

Rect cellFrame(std::size_t k)
{
    const Geometry& g = geometry();
    int column = static_cast<int>((k - 1) % static_cast<std::size_t>(g.columns));
    return {column * g.cell.width, rowOf(k) * g.pitch, g.cell.width, g.cell.height};
}

// A text value of an item; numbers count as their decimal text, anything
// else as missing.
std::optional<std::string> textOf(const PlistValue* item, const std::string& key)
{
    return identifierValueOf(item ? item->find(key) : nullptr);
}

// The items of "wall"; none when it is missing or not an array.
const PlistValue::Array* wallItems(const std::shared_ptr<const PlistValue>& dict)
{
    const PlistValue* wall = dict ? findKeyPath(*dict, "wall") : nullptr;
    return wall ? wall->array() : nullptr;
}

// The icon's link, or nothing when the item names no icon.
std::optional<std::string> iconLink(const std::shared_ptr<const PlistValue>& dict, const PlistValue* item)
{
    auto base = dict ? stringValueOf(findKeyPath(*dict, "base.base_url")) : std::nullopt;
    auto icon = textOf(item, "icon_lnk");
    if (!base || !icon || icon->empty())
        return std::nullopt;
    return *base + *icon;
}

std::shared_ptr<Button> pictureButton(Rect frame, const char* picture)
{
    auto button = Button::create(frame);
    button->setImage(Gobals::imageWithFileName(picture), ControlState::Normal);
    return button;
}

} // namespace

std::shared_ptr<WallAd> WallAd::create() { return std::make_shared<WallAd>(); }

void WallAd::setContentInfo(std::shared_ptr<const PlistValue> dict)
{
    if (!dict)
        return;
    _dict = std::move(dict);
    initUI();
    initUIContent();
}

void WallAd::initUI()
{
    const Geometry& g = geometry();
    std::weak_ptr<WallAd> weak = std::static_pointer_cast<WallAd>(shared_from_this());

    // The overlay parks the card above the screen until shown.
    _overlay = AdOverlay::create(g.card);
    _overlay->setOnMaskTap([weak] {
        if (auto self = weak.lock())
            self->hideAd();
    });
    _wallView = _overlay->rootView();
    _maskView = _overlay->maskView();
    _wallContentView = _overlay->cardView();

    auto background = ImageView::create(Rect{0, 0, g.card.width, g.card.height});
    background->setImage(Gobals::imageWithFileName(g.cardPicture));

    _contentScrollView = ScrollView::create(g.scroll);
    _contentScrollView->setShowsVerticalScrollIndicator(false);

    auto close = pictureButton(g.close, g.closePicture);
    close->addAction(ControlEvent::TouchUpInside, [weak] {
        if (auto self = weak.lock())
            self->hideAd();
    });
    _overlay->setCloseButton(close);

    auto get = pictureButton(g.get, g.getPicture);
    get->setTag(0);
    std::weak_ptr<Button> weakGet = get;
    get->addAction(ControlEvent::TouchUpInside, [weak, weakGet] {
        auto self = weak.lock();
        auto button = weakGet.lock();
        if (self && button)
            self->downloadApp(*button);
    });
    _overlay->setGetButton(get);

    _appName = Label::create(g.name);
    _appName->setFont(Font::boldSystemFont(g.nameSize));
    _appName->setTextColor(Color::whiteColor());
    _appName->setBackgroundColor(Color::clearColor());

    _appIcon = WebImageView::create(g.icon);
    _appIcon->setUserInteractionEnabled(true);
    _appIcon->addGestureRecognizer(TapGestureRecognizer::create([weak](TapGestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->firstAppTap(recognizer);
    }));

    _wallContentView->addSubview(background);
    _wallContentView->addSubview(_contentScrollView);
    _wallContentView->addSubview(close);
    _wallContentView->addSubview(get);
    _wallContentView->addSubview(_appName);
    _wallContentView->addSubview(_appIcon);
}

void WallAd::initUIContent()
{
    const Geometry& g = geometry();
    const PlistValue::Array* items = wallItems(_dict);
    std::size_t n = items ? items->size() : 0;
    // Rows the items after the featured one need (an empty wall still counts one).
    int needed = n == 0 ? 1 : static_cast<int>((n - 1) / g.columns + ((n - 1) % g.columns ? 1 : 0));
    _rows = std::max(g.minimumRows, needed);
    double width = _contentScrollView->bounds().width();
    _contentScrollView->setContentSize({width, _rows * g.pitch + g.contentExtra});

    // Every app is tested and reported, shown or not; only cells wait for their rows.
    AppDetector detector;
    std::vector<std::string> installed;
    _installed.assign(n, false);
    for (std::size_t k = 0; k < n; ++k) {
        const PlistValue* item = &(*items)[k];
        if (k == 0) {
            _appIcon->setLink(iconLink(_dict, item));
            _appIcon->startDownloading();
            _appName->setText(shownText(textOf(item, "title")));
            continue;
        }
        if (detector.isInstalledAppHWithScheme(textOf(item, "scheme"))) {
            _installed[k] = true;
            // An installed app with no id still shows as installed; there is just nothing to report.
            if (auto appId = textOf(item, "app_id"))
                installed.push_back(*appId);
        }
    }
    std::weak_ptr<WallAd> weak = std::static_pointer_cast<WallAd>(shared_from_this());
    _contentScrollView->setDelegate(std::weak_ptr<ScrollViewDelegate>(weak.lock()));
    showRowsNearView();

    PlistValue::Array listed(installed.begin(), installed.end());
    log("installed app list from wall ad : {}", describe(PlistValue(std::move(listed))));
    Reportor::instance()->reportInstalledApps(installed);
}

void WallAd::showRowsNearView()
{
    const Geometry& g = geometry();
    double top = _contentScrollView->contentOffset().y, page = _contentScrollView->bounds().height();
    // One background row more than the content covers, so a bounce past the end shows no gap.
    int first = std::max(0, static_cast<int>(std::floor((top - page) / g.pitch)));
    int last = std::min(_rows, static_cast<int>(std::floor((top + 2 * page) / g.pitch)));
    auto near = [&](int row) { return row >= first && row <= last; };

    double width = _contentScrollView->bounds().width();
    std::erase_if(_rowBackgrounds, [&](auto& entry) {
        if (near(entry.first))
            return false;
        entry.second->removeFromSuperview();
        return true;
    });
    for (int row = first; row <= last; ++row) {
        if (_rowBackgrounds.contains(row))
            continue;
        auto background = ImageView::create(Rect{0, row * g.pitch, width, g.pitch});
        background->setImage(Gobals::imageWithFileName(g.rowPicture));
        _contentScrollView->addSubview(background);
        _contentScrollView->sendSubviewToBack(background);
        _rowBackgrounds.emplace(row, std::move(background));
    }

    std::erase_if(_cells, [&](auto& entry) {
        if (near(rowOf(entry.first)))
            return false;
        entry.second->removeFromSuperview();
        return true;
    });
    std::size_t from = static_cast<std::size_t>(first) * static_cast<std::size_t>(g.columns) + 1;
    std::size_t to = (static_cast<std::size_t>(last) + 1) * static_cast<std::size_t>(g.columns) + 1;
    for (std::size_t k = from; k < std::min(to, _installed.size()); ++k)
        if (!_cells.contains(k))
            _cells.emplace(k, makeCell(k));
}

std::shared_ptr<Button> WallAd::makeCell(std::size_t k)
{
    const Geometry& g = geometry();
    const PlistValue* item = &(*wallItems(_dict))[k];
    auto cell = Button::create(cellFrame(k));
    cell->setTag(static_cast<int>(k));
    auto icon = WebImageView::create(g.cellIcon);
    auto name = Label::create(g.cellName);
    name->setFont(Font::boldSystemFont(g.cellNameSize));
    name->setBackgroundColor(Color::clearColor());
    name->setTextAlignment(TextAlignment::Center);
    name->setTextColor(Color::rgba(0.8f, 0.8f, 0.8f, 1));
    cell->addSubview(name);
    cell->addSubview(icon);
    icon->setLink(iconLink(_dict, item));
    icon->startDownloading();
    name->setText(shownText(textOf(item, "title")));

    if (_installed[k]) {
        auto badge = ImageView::create(g.badge);
        badge->setImage(Gobals::imageWithFileName(g.badgePicture));
        cell->addSubview(badge);
        cell->setEnabled(false);
    } else {
        std::weak_ptr<WallAd> weak = std::static_pointer_cast<WallAd>(shared_from_this());
        std::weak_ptr<Button> weakCell = cell;
        cell->addAction(ControlEvent::TouchUpInside, [weak, weakCell] {
            auto self = weak.lock();
            auto button = weakCell.lock();
            if (self && button)
                self->downloadApp(*button);
        });
    }
    _contentScrollView->addSubview(cell);
    return cell;
}

void WallAd::scrollViewDidScroll(ScrollView&) { showRowsNearView(); }

std::optional<Rect> WallAd::rectForSubviewWithTag(ScrollView&, int tag)
{
    if (tag < 1 || static_cast<std::size_t>(tag) >= _installed.size())
        return std::nullopt;
    return cellFrame(static_cast<std::size_t>(tag));
}

void WallAd::showAd()
{
    auto keep = shared_from_this();
    if (_overlay) {
        bool fullScreen = Gobals::isFullScreen();
        double middle = AdOverlay::rootMiddleY();
        // With the status bar hidden the application frame is the whole screen: its middle is H / 2.
        double target = fullScreen ? AdOverlay::applicationFrame().height() / 2 : middle;
        log("is full screen {:d}, {:f}", fullScreen, middle);
        _overlay->dropIn(target);
    }
    if (auto d = delegate())
        d->adDidShowed(*this);
    log("wall ad show");
    Reportor::instance()->reportDisplay("wall", std::nullopt);
}

void WallAd::hideAd()
{
    // The delegate may drop its last reference to this ad.
    auto keep = shared_from_this();
    if (_overlay)
        _overlay->flyOut();
    if (auto d = delegate())
        d->adDidHided(*this);
}

std::shared_ptr<Button> WallAd::closeButton() const { return _overlay ? _overlay->closeButton() : nullptr; }

std::shared_ptr<Button> WallAd::getButton() const { return _overlay ? _overlay->getButton() : nullptr; }

void WallAd::downloadApp(Button& sender) { handleClickAppWithTag(sender.tag()); }

void WallAd::firstAppTap(TapGestureRecognizer& recognizer)
{
    auto view = recognizer.view();
    handleClickAppWithTag(view ? view->tag() : 0);
}

void WallAd::handleClickAppWithTag(int index)
{
    auto keep = shared_from_this();
    const PlistValue::Array* items = wallItems(_dict);
    // An empty wall's featured controls have no app behind them.
    if (!items || index < 0 || static_cast<std::size_t>(index) >= items->size())
        return;
    const PlistValue* item = &(*items)[static_cast<std::size_t>(index)];
    auto appId = textOf(item, "app_id");
    Reportor::instance()->reportClick("wall", std::nullopt, appId);
    if (_linkHandler)
        _linkHandler->handleLink(textOf(item, "link"), appId);
}

} // namespace vq
