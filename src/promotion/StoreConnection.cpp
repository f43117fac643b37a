#include "promotion/StoreConnection.h"

#include "core/PropertyList.h"
#include "core/StringAdditions.h"
#include "graphics/Image.h"
#include "graphics/PictureLoader.h"
#include "graphics/Screen.h"
#include "net/HttpRequest.h"
#include "promotion/ShownText.h"
#include "system/StoreProductPage.h"

#include <fmt/format.h>

#include <cmath>
#include <span>

namespace vq {

namespace {

// Hands a request's end to a function. Requests do not retain their
// delegates, so it holds itself until then (every request ends).
class OnEnd : public HttpRequestDelegate {
public:
    static void get(const std::string& url, std::function<void(HttpRequest&)> fn)
    {
        auto delegate = std::make_shared<OnEnd>();
        delegate->_fn = std::move(fn);
        delegate->_self = delegate;
        auto request = HttpRequest::requestWithURL(url);
        request->setDelegate(delegate);
        request->startAsynchronous();
    }
    void requestFinished(const std::shared_ptr<HttpRequest>& request) override { end(*request); }
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override { end(*request); }

private:
    void end(HttpRequest& request)
    {
        auto keep = std::move(_self);
        if (auto fn = std::exchange(_fn, nullptr))
            fn(request);
    }
    std::function<void(HttpRequest&)> _fn;
    std::shared_ptr<OnEnd> _self;
};

std::optional<StoreProduct> productFrom(const std::optional<PlistValue>& list)
{
    if (!list || !list->isDictionary())
        return std::nullopt;
    auto* name = list->find("name");
    if (!name || !name->string() || name->string()->empty())
        return std::nullopt;
    StoreProduct product{shownText(*name->string()), {}, std::nullopt};
    if (auto* seller = list->find("seller"); seller && seller->string())
        product.seller = shownText(*seller->string());
    if (auto* icon = list->find("icon"); icon && icon->string() && !icon->string()->empty())
        product.iconUrl = *icon->string();
    return product;
}

} // namespace

void connectStorePages(std::string base)
{
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    StoreProductPage::Store store;
    store.lookup = [base](const std::string& id, std::function<void(std::optional<StoreProduct>, std::string)> done) {
        OnEnd::get(fmt::format("{}/store/lookup?id={}", base, percentEscapeQueryValue(id)), [done = std::move(done)](HttpRequest& r) {
            if (r.error())
                return done(std::nullopt, *r.error());
            if (r.responseStatusCode() != 200)
                return done(std::nullopt, fmt::format("The store answered {}", r.responseStatusCode()));
            auto product = productFrom(parsePropertyList(r.responseData()));
            if (!product)
                return done(std::nullopt, "The store names no product for that identifier");
            done(std::move(product), {});
        });
    };
    store.fetchImage = [](const std::string& url, std::function<void(std::shared_ptr<Image>)> done) {
        OnEnd::get(url, [done = std::move(done)](HttpRequest& r) mutable {
            if (r.error() || r.responseStatusCode() != 200)
                return done(nullptr);
            // Under the same caps and bounds as every fetched picture, off the main
            // thread and no larger than the page shows it.
            double scale = Screen::main().scale();
            int side = static_cast<int>(std::ceil(StoreProductPage::kIconSize * scale));
            PictureLoader::loadDataDetached(r.responseData(), 1, PictureBounds{side, side},
                                            [done = std::move(done)](const DecodedPicture& picture) {
                                                done(picture.image);
                                            });
        });
    };
    StoreProductPage::setStore(std::move(store));
}

} // namespace vq
