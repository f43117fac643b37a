#pragma once

#include "support/LoopbackServer.h"

#include "core/PropertyList.h"
#include "core/RunLoop.h"
#include "net/HttpRequest.h"
#include "net/RunQueue.h"
#include "net/UrlConnection.h"
#include "promotion/InternalLinkHandler.h"
#include "promotion/PromotionUnit.h"
#include "promotion/ServerSettings.h"
#include "promotion/ads/AdGenerator.h"
#include "promotion/StoreConnection.h"
#include "support/Harness.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/Device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace vq::test {

// Counts an ad's shows and hides; onShow runs at each show.
class AdRecorder : public AdDelegate {
public:
    explicit AdRecorder(std::function<void()> onShow = {}) : _onShow(std::move(onShow)) {}
    void adDidShowed(Ad&) override
    {
        ++shown;
        if (_onShow)
            _onShow();
    }
    void adDidHided(Ad&) override { ++hidden; }
    int shown = 0;
    int hidden = 0;

private:
    std::function<void()> _onShow;
};

// A headless app with a loopback promotion server: "/index.php" answers
// action=info with the list set by the test (or a fault) and every report
// with status 0; each request is recorded with its decoded parameters.
class PromoFixture : public testing::Test {
protected:
    struct Seen {
        std::string target; // path and query as sent
        std::map<std::string, std::string> params;
        std::string param(const std::string& key) const
        {
            auto it = params.find(key);
            return it == params.end() ? "<absent>" : it->second;
        }
    };

    PromoFixture()
    {
        HttpRequest::setDefaultExecutor([](std::function<void()> task) { RunLoop::main().post(std::move(task)); });
        server.http().Get("/index.php", [this](const httplib::Request& req, httplib::Response& res) {
            Seen seen{req.target, {}};
            for (const auto& [k, v] : req.params)
                seen.params[k] = v;
            std::lock_guard lock(mutex);
            _seen.push_back(seen);
            std::string action = seen.param("action");
            if (action == "info") {
                res.status = infoStatus;
                if (infoTrickles) {
                    // A long list, a byte at a time: never idle, never done.
                    res.set_content_provider(100000, "application/x-plist",
                                             [this](std::size_t, std::size_t, httplib::DataSink& sink) {
                                                 std::this_thread::sleep_for(std::chrono::milliseconds(200));
                                                 sink.write("<", 1);
                                                 return !stopping;
                                             });
                    return;
                }
                res.set_content(infoBody, "application/x-plist");
                return;
            }
            res.status = reportStatusCode;
            res.set_content(reportBody, "application/x-plist");
        });
        // Every decimal identifier is a product.
        server.http().Get("/store/lookup", [](const httplib::Request& req, httplib::Response& res) {
            auto id = req.get_param_value("id");
            res.set_content(writePropertyList(PlistValue(PlistValue::Dictionary{
                                {"name", PlistValue("App " + id)}, {"seller", PlistValue("Velvet Labs")}})),
                            "application/x-plist");
        });
        setPromotionServerBase(server.url());
        connectStorePages(server.url());
    }

    // Handlers that a derived fixture adds touch its members, which go before this class's.
    void TearDown() override { server.stop(); }

    // Requests still out hold the HTTP queue's slots past the platform's reset: let them end here.
    ~PromoFixture() override
    {
        stopping = true;
        RunLoop::main().runUntil(
            [] {
                return RunQueue::shared().runningCount() == 0 && RunQueue::shared().waitingCount() == 0 &&
                       UrlConnection::runningCount() == 0;
            },
            30);
        RunLoop::main().runPending();
    }

    void setList(const PlistValue& list, PlistFormat format = PlistFormat::Xml)
    {
        std::lock_guard lock(mutex);
        infoBody = writePropertyList(list, format);
        infoStatus = 200;
    }
    void setInfoReply(int status, std::string body)
    {
        std::lock_guard lock(mutex);
        infoStatus = status;
        infoBody = std::move(body);
    }
    std::vector<Seen> seen(const std::string& action) const
    {
        std::lock_guard lock(mutex);
        std::vector<Seen> out;
        for (const auto& s : _seen)
            if (s.param("action") == action)
                out.push_back(s);
        return out;
    }
    // Runs the main loop (real time) until n requests of that action have arrived.
    bool waitFor(const std::string& action, std::size_t n, double timeout = 20)
    {
        return RunLoop::main().runUntil([&] { return seen(action).size() >= n; }, timeout);
    }
    // A real tap on an alert's button, its dismissal run to the end.
    void tapAlert(const std::shared_ptr<AlertView>& alert, int index)
    {
        Rect f = alert->buttonFrame(index);
        Point c = alert->convertPointTo({f.x() + f.width() / 2, f.y() + f.height() / 2}, nullptr);
        harness.tap(c.x, c.y);
        harness.advance(1);
    }
    // Until every URL connection has ended (none may outlive its test).
    bool connectionsEnd(double timeout = 30)
    {
        return RunLoop::main().runUntil([] { return UrlConnection::runningCount() == 0; }, timeout);
    }
    // The screen's size comes from the device, so it is chosen before the window.
    void setUpScreen(DeviceProfile profile = DeviceProfile::Phone, bool statusBarHidden = false)
    {
        Device::current().setProfile(profile);
        harness.app().setStatusBarHidden(statusBarHidden);
        harness.makeWindow();
        PromotionUnit::defaultInstance("111");
    }
    // A fresh presenter of that type (1 alert, 2 wall, 3 big ad, 4 reward) with
    // the list as its content, internal links and the recorder as its delegate.
    template <class AdType>
    std::shared_ptr<AdType> makeAd(int type, const PlistValue& list, std::optional<int> showType = std::nullopt)
    {
        auto ad = std::dynamic_pointer_cast<AdType>(showType ? AdGenerator::adWithType(type, *showType)
                                                             : AdGenerator::adWithType(type));
        EXPECT_TRUE(ad);
        if (!ad)
            return ad;
        ad->setLinkHandler(InternalLinkHandler::create());
        ad->setDelegate(recorder);
        ad->setContentInfo(std::make_shared<PlistValue>(list));
        return ad;
    }

    // Lets replies in flight come back.
    void settle(double seconds = 0.3) { RunLoop::main().runUntil([] { return false; }, seconds); }

    Harness harness;
    std::shared_ptr<AdRecorder> recorder = std::make_shared<AdRecorder>();
    mutable std::mutex mutex;
    std::string infoBody = writePropertyList(PlistValue());
    int infoStatus = 200;
    std::atomic<bool> infoTrickles{false};
    std::atomic<bool> stopping{false};
    std::string reportBody = writePropertyList(PlistValue(PlistValue::Dictionary{
        {"status", PlistValue(PlistValue::Dictionary{{"code", 0}})}}));
    int reportStatusCode = 200;
    // For handlers that tests add: they may run until the server stops.
    std::atomic<int> visits{0};

private:
    std::vector<Seen> _seen;

protected:
    // Last, so it stops before what its handlers touch goes away.
    LoopbackServer server;
};

inline PlistValue dict(PlistValue::Dictionary d) { return PlistValue(std::move(d)); }

// A list whose automatic ad is the alert.
inline PlistValue alertList(PlistValue::Dictionary base)
{
    if (!base.count("ad_type"))
        base["ad_type"] = "alert";
    return dict({{"status", dict({{"code", 0}})},
                 {"base", dict(std::move(base))},
                 {"alert", dict({{"title", "Try Quill Pro"},
                                 {"content", "Fonts galore"},
                                 {"cancel", "Later"},
                                 {"ok", "Get it"},
                                 {"link", "quillpro://open"},
                                 {"id", "a7"}})}});
}

} // namespace vq::test
