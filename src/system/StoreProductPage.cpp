#include "system/StoreProductPage.h"

#include "core/EventHub.h"
#include "core/RunLoop.h"
#include "core/Timer.h"
#include "graphics/Color.h"
#include "graphics/Font.h"
#include "graphics/Image.h"
#include "system/Device.h"
#include "system/TopBar.h"
#include "ui/ActivityIndicator.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/View.h"

#include <algorithm>
#include <cctype>

namespace vq {

namespace {

constexpr double kMargin = 20;

StoreProductPage::Store& sharedStore()
{
    static StoreProductPage::Store store;
    return store;
}

std::size_t& loading()
{
    static std::size_t count = 0;
    return count;
}

bool isDecimal(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

void StoreProductPage::setStore(Store store) { sharedStore() = std::move(store); }

std::shared_ptr<StoreProductPage> StoreProductPage::create() { return std::shared_ptr<StoreProductPage>(new StoreProductPage()); }

bool StoreProductPage::isAvailable() { return compareSystemVersions(Device::current().systemVersion(), "6.0") >= 0; }

std::size_t StoreProductPage::loadingCount() { return loading(); }

StoreProductPage::StoreProductPage() = default;

StoreProductPage::~StoreProductPage()
{
    if (_deadline)
        _deadline->invalidate();
    if (_loading)
        --loading();
}

void StoreProductPage::viewDidLoad()
{
    auto root = view();
    root->setBackgroundColor(Color::whiteColor());
    double width = root->frame().width();

    auto bar = TopBar::addTo(*root);
    std::weak_ptr<StoreProductPage> weak = std::static_pointer_cast<StoreProductPage>(self());
    _doneButton = TopBar::addButton(*bar, TopBar::End::Right, "Done", Font::boldSystemFont(17), [weak] {
        if (auto page = weak.lock())
            page->done();
    });

    double top = TopBar::kHeight + kMargin;
    _iconView = ImageView::create(Rect{kMargin, top, kIconSize, kIconSize});
    root->addSubview(_iconView);
    double textLeft = kMargin * 2 + kIconSize;
    _nameLabel = Label::create(Rect{textLeft, top, width - textLeft - kMargin, 26});
    _nameLabel->setFont(Font::boldSystemFont(20));
    root->addSubview(_nameLabel);
    _sellerLabel = Label::create(Rect{textLeft, top + 30, width - textLeft - kMargin, 20});
    _sellerLabel->setFont(Font::systemFont(15));
    _sellerLabel->setTextColor(Color::grayColor());
    root->addSubview(_sellerLabel);

    _spinner = ActivityIndicator::create(ActivityIndicatorStyle::Gray);
    _spinner->setCenter({width / 2, root->frame().height() / 2});
    root->addSubview(_spinner);
    if (_loading)
        _spinner->startAnimating();
    showProduct();
}

void StoreProductPage::loadProduct(const std::string& itemIdentifier,
                                   std::function<void(bool, std::optional<std::string>)> completion)
{
    if (_loading)
        ended(std::nullopt, "Another product was asked for");
    _id = itemIdentifier;
    _product.reset();
    _icon.reset();
    _completion = std::move(completion);
    _loading = true;
    ++loading();
    if (_spinner)
        _spinner->startAnimating();
    showProduct();

    std::weak_ptr<StoreProductPage> weak = std::static_pointer_cast<StoreProductPage>(self());
    auto endWith = [weak, id = _id](std::optional<StoreProduct> product, std::string error) {
        auto page = weak.lock();
        // A later load or the deadline may have ended this one already.
        if (page && page->_loading && page->_id == id)
            page->ended(std::move(product), error);
    };
    if (!isDecimal(itemIdentifier)) {
        RunLoop::main().post([endWith] { endWith(std::nullopt, "The item identifier is not a number"); });
        return;
    }
    const auto& store = sharedStore();
    if (!store.lookup) {
        RunLoop::main().post([endWith] { endWith(std::nullopt, "There is no store to look the item up in"); });
        return;
    }
    _deadline = RunLoop::main().performAfter(loadTimeOut, [endWith] { endWith(std::nullopt, "Loading timed out"); });
    store.lookup(_id, endWith);
}

void StoreProductPage::ended(std::optional<StoreProduct> product, const std::string& error)
{
    auto keep = self();
    _loading = false;
    --loading();
    if (_deadline)
        std::exchange(_deadline, nullptr)->invalidate();
    if (_spinner)
        _spinner->stopAnimating();
    _product = std::move(product);
    _icon.reset();
    showProduct();
    bool loaded = _product.has_value();
    EventHub::shared().publish(StorePageEvent{_id, loaded ? "shown" : "failed"});
    if (loaded && _product->iconUrl && sharedStore().fetchImage) {
        std::weak_ptr<StoreProductPage> weak = std::static_pointer_cast<StoreProductPage>(keep);
        sharedStore().fetchImage(*_product->iconUrl, [weak, id = _id](std::shared_ptr<Image> image) {
            auto page = weak.lock();
            if (page && page->_id == id && page->_product) {
                page->_icon = std::move(image);
                page->showProduct();
            }
        });
    }
    if (auto completion = std::exchange(_completion, nullptr))
        completion(loaded, loaded ? std::nullopt : std::optional(error));
}

void StoreProductPage::showProduct()
{
    if (!isViewLoaded() || !_nameLabel)
        return;
    _nameLabel->setText(_product ? _product->name : "");
    _sellerLabel->setText(_product ? _product->seller : "");
    _iconView->setImage(_icon);
}

void StoreProductPage::done()
{
    auto keep = self();
    EventHub::shared().publish(StorePageEvent{_id, "done"});
    if (auto delegate = _delegate.lock())
        delegate->productViewControllerDidFinish(*this);
}

} // namespace vq
