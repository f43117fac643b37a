#include "system/TestReset.h"

#include "core/EventHub.h"
#include "core/Log.h"
#include "core/NotificationCenter.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "core/TestResets.h"
#include "core/UserDefaults.h"
#include "system/AlertView.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/MessageComposer.h"
#include "system/Pasteboard.h"
#include "system/StoreProductPage.h"

namespace vq {

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
    runAddedResetsForTests();
}

} // namespace vq
