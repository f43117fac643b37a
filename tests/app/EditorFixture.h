#pragma once

#include "promotion/ServerSettings.h"

#include "adnetwork/BannerView.h"
#include "analytics/Analytics.h"
#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "promotion/PromotionUnit.h"
#include "support/Harness.h"
#include "system/Application.h"
#include "system/Device.h"
#include "ui/TextView.h"
#include "ui/View.h"
#include "ui/Window.h"

#include <memory>
#include <string>

namespace vq::test {

// The real app launched headless on one device, through its own delegate.
class Editor {
public:
    explicit Editor(DeviceProfile profile = DeviceProfile::Phone, const std::string& systemVersion = "7.0",
                    bool launch = true)
        : harness(profile)
    {
        Device::current().setSystemVersion(systemVersion);
        // Nothing listens there: activations fail fast instead of reaching a real server.
        setPromotionServerBase("http://127.0.0.1:1");
        BannerView::setAdServer("http://127.0.0.1:1");
        delegate = std::make_shared<app::AppDelegate>();
        harness.app().setDelegate(delegate);
        if (launch)
            harness.app().launch();
    }
    app::ViewController& vc() const { return *delegate->viewController(); }
    TextView& text() const { return *vc().textView(); }

    // Centre of a view in screen points.
    static Point screenCenter(const View& v)
    {
        Rect r = v.convertRectTo(v.bounds(), nullptr);
        return r.center();
    }
    // A tap on the message puts the caret there and brings the keyboard up.
    void focus()
    {
        Point c = screenCenter(text());
        harness.tap(c.x, c.y);
    }

    Harness harness;
    std::shared_ptr<app::AppDelegate> delegate;
};

} // namespace vq::test
