#pragma once

#include "ui/ViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vq {

class ActivityIndicator;
class Button;
class Image;
class ImageView;
class Label;
class StoreProductPage;
class Timer;

// What the store's lookup says about one product.
struct StoreProduct {
    std::string name;
    std::string seller;
    std::optional<std::string> iconUrl;
};

// Published on the event hub: a page's product was shown, failed to load, or the page was closed.
struct StorePageEvent {
    std::string id;
    std::string state; // "shown", "failed" or "done"
};

class StoreProductPageDelegate {
public:
    virtual ~StoreProductPageDelegate() = default;
    // Done was tapped; the delegate dismisses the page.
    virtual void productViewControllerDidFinish(StoreProductPage&) {}
};

// The in-app store page: presented modally, it looks a product up by its
// store identifier and shows its name, seller and icon under a Done button.
// The platform has one from system version 6.0 on.
class StoreProductPage : public ViewController {
public:
    // How pages reach the store, set at launch (the platform itself has no network).
    // The product's icon, in points a side.
    static constexpr double kIconSize = 100;

    struct Store {
        // Looks id up; done, once, on the main thread: the product, or why there is none.
        std::function<void(const std::string& id, std::function<void(std::optional<StoreProduct>, std::string error)>)>
            lookup;
        // Downloads a picture; done, once, on the main thread (null when there is none).
        std::function<void(const std::string& url, std::function<void(std::shared_ptr<Image>)>)> fetchImage;
    };
    static void setStore(Store store);

    // Seconds a load may take before it fails.
    static constexpr double loadTimeOut = 10;

    static std::shared_ptr<StoreProductPage> create();
    // Whether this system version has the page at all.
    static bool isAvailable();
    // Pages whose load has not ended yet.
    static std::size_t loadingCount();

    ~StoreProductPage() override;
    const char* className() const override { return "StoreProductPage"; }
    void viewDidLoad() override;

    // Not retained.
    void setDelegate(std::weak_ptr<StoreProductPageDelegate> delegate) { _delegate = std::move(delegate); }
    // Loads the product; completion once, later, on the main thread: whether it loaded, and why not.
    void loadProduct(const std::string& itemIdentifier,
                     std::function<void(bool loaded, std::optional<std::string> error)> completion);

    std::shared_ptr<Button> doneButton() const { return _doneButton; }
    std::shared_ptr<Label> nameLabel() const { return _nameLabel; }
    std::shared_ptr<Label> sellerLabel() const { return _sellerLabel; }
    std::shared_ptr<ImageView> iconView() const { return _iconView; }
    const std::optional<StoreProduct>& product() const { return _product; }
    bool isLoading() const { return _loading; }
    // Done's action.
    void done();

protected:
    StoreProductPage();

private:
    void ended(std::optional<StoreProduct> product, const std::string& error);
    void showProduct();

    std::weak_ptr<StoreProductPageDelegate> _delegate;
    std::string _id;
    bool _loading = false;
    std::function<void(bool, std::optional<std::string>)> _completion;
    std::shared_ptr<Timer> _deadline;
    std::optional<StoreProduct> _product;
    std::shared_ptr<Image> _icon;

    std::shared_ptr<Button> _doneButton;
    std::shared_ptr<Label> _nameLabel;
    std::shared_ptr<Label> _sellerLabel;
    std::shared_ptr<ImageView> _iconView;
    std::shared_ptr<ActivityIndicator> _spinner;
};

} // namespace vq
