#include "platform/TestReset.h"

#include "platform/AlertView.h"
#include "platform/Application.h"
#include "platform/Device.h"
#include "platform/EventHub.h"
#include "platform/Log.h"
#include "platform/MessageComposer.h"
#include "platform/NotificationCenter.h"
#include "platform/Pasteboard.h"
#include "platform/Paths.h"
#include "platform/RunLoop.h"
#include "platform/StoreProductPage.h"
#include "platform/UserDefaults.h"

#include <vector>

namespace vq {

namespace {

std::vector<std::function<void()>>& addedResets()
{
    static std::vector<std::function<void()>> resets;
    return resets;
}

} // namespace

void resetForTests()
{
    // Listeners first: the test that added them may be half torn down, and
    // dropping the first responder posts the keyboard's notices.
    EventHub::shared().reset();
    NotificationCenter::defaultCenter().reset();
    Application::shared().resetForTests();
    AlertView::resetForTests();
    RunLoop::main().reset();
    RunLoop::main().useManualClock(0);
    NotificationCenter::defaultCenter().reset();
    UserDefaults::standard().resetForTests();
    Device::current().reset();
    MessageComposer::setMode(MessageComposer::Mode::Ok);
    Pasteboard::general().resetForTests();
    Paths::resetToDefaults();
    setWriteFaultForTests(WriteFault::None);
    StoreProductPage::setStore({});
    setLogToStderr(false);
    for (const auto& reset : addedResets())
        reset();
}

void addResetForTests(std::function<void()> reset) { addedResets().push_back(std::move(reset)); }

} // namespace vq
