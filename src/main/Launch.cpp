#include "main/Launch.h"

#include "main/EventLog.h"
#include "main/NetworkActivity.h"

#include "analytics/Analytics.h"
#include "core/Bundle.h"
#include "core/Log.h"
#include "core/Paths.h"
#include "core/RunLoop.h"
#include "system/Application.h"
#include "system/Device.h"
#include "system/MessageComposer.h"

namespace vq {

namespace {

MessageComposer::Mode composerMode(ComposerBehaviour behaviour)
{
    switch (behaviour) {
    case ComposerBehaviour::Refuse: return MessageComposer::Mode::Refuse;
    case ComposerBehaviour::None: return MessageComposer::Mode::None;
    case ComposerBehaviour::Fail: return MessageComposer::Mode::Fail;
    case ComposerBehaviour::Ok: break;
    }
    return MessageComposer::Mode::Ok;
}

} // namespace

std::variant<LaunchedApp, int> launchApp(const LaunchOptions& options, const DelegateFactory& makeDelegate,
                                         std::ostream& errors, const std::function<std::optional<int>()>& ready)
{
    if (options.dataDir)
        Paths::setDataRoot(*options.dataDir, options.scratchData);
    if (auto error = Application::prepareDataFolders()) {
        errors << "velvet-quill: " << *error << "\n";
        return 1;
    }

    // Without its artwork the app still runs, but a person should know why it looks bare.
    std::error_code ec;
    if (const auto& artwork = Bundle::main().resourceDir; !std::filesystem::is_directory(artwork, ec))
        errors << "velvet-quill: no artwork at " << artwork.string()
               << "; the app runs without its pictures (VQ_RESOURCE_DIR names another folder)\n";

    auto& loop = RunLoop::main();
    loop.adoptCurrentThread();
    if (options.headless) {
        loop.useManualClock();
        // Analytics times follow the virtual clock too, so runs are repeatable.
        Analytics::setTimeSource([] { return RunLoop::main().now(); });
        setLogToStderr(false);
    } else {
        loop.useSystemClock();
    }

    LaunchedApp launched;
    if (options.eventsFile) {
        std::string error;
        launched.events = EventLog::open(*options.eventsFile, &error);
        if (!launched.events) {
            errors << "velvet-quill: " << error << "\n";
            return 1;
        }
    }

    auto& app = Application::shared();
    app.setDeviceProfile(options.device);
    Device::current().setSystemVersion(options.systemVersion);
    app.setInstalledSchemes(options.installedSchemes);
    MessageComposer::setMode(composerMode(options.composer));
    connectNetwork(options);

    if (ready)
        if (auto status = ready())
            return *status;

    launched.delegate = makeDelegate ? makeDelegate() : nullptr;
    app.setDelegate(launched.delegate);
    app.launch();
    return launched;
}

} // namespace vq
