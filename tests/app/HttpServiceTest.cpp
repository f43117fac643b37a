#include "EditorFixture.h"

#include "core/Bundle.h"
#include "core/RunLoop.h"
#include "net/HttpRequest.h"

#include <gtest/gtest.h>

using namespace vq;
using vq::test::Editor;

namespace {

struct Failures : HttpRequestDelegate {
    void requestFailed(const std::shared_ptr<HttpRequest>& request) override { urls.push_back(request->url()); }
    std::vector<std::string> urls;
};

TEST(AppLaunch, TellsTheHttpServiceTheAppItsVersionAndTheDeviceItRunsAs)
{
    auto saved = Bundle::main();
    Bundle::main().build = "7";
    {
        Editor e(DeviceProfile::Tablet, "6.1");
        auto locale = Device::current().localeIdentifier();
        EXPECT_EQ(HttpRequest::userAgent(), "Velvet Quill 1.0 rv:7 (iPad; iPhone OS 6.1; " + locale + ")");
    }
    Bundle::main().build = saved.build;
    Bundle::main().displayName = "";
    {
        Editor e(DeviceProfile::Phone, "7.0");
        auto locale = Device::current().localeIdentifier();
        EXPECT_EQ(HttpRequest::userAgent(), "VelvetQuill 1.0 (iPhone; iPhone OS 7.0; " + locale + ")");
    }
    Bundle::main() = saved;
}

TEST(AppLaunch, HttpCallbacksArriveOnTheMainRunLoop)
{
    Editor e;
    auto failures = std::make_shared<Failures>();
    auto request = HttpRequest::requestWithURL("not a url");
    request->setDelegate(failures);
    request->startAsynchronous();
    EXPECT_TRUE(failures->urls.empty()); // nothing before the loop runs
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return !failures->urls.empty(); }, 5));
    EXPECT_EQ(failures->urls, std::vector<std::string>{"not a url"});
}

} // namespace
