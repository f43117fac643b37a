#pragma once

#include "main/LaunchOptions.h"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <variant>

namespace vq {

class ApplicationDelegate;
class EventLog;

using DelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;

// What a host keeps while the app runs.
struct LaunchedApp {
    std::shared_ptr<ApplicationDelegate> delegate;
    // Null without an events file.
    std::shared_ptr<EventLog> events;
};

// The app's one start-up, for every host: the data folders, the run loop on
// this thread (a virtual clock and a quiet log when headless, the system
// clock otherwise), the events file, the device, system version, installed
// schemes and composer behaviour; then ready (the window host opens its
// window there, once the screen is known); then the delegate from the
// factory and the launch. What cannot start gives an exit status, with a
// message on errors: 1 for a data folder or events file that cannot be
// used, or ready's own status.
std::variant<LaunchedApp, int> launchApp(const LaunchOptions& options, const DelegateFactory& makeDelegate,
                                         std::ostream& errors,
                                         const std::function<std::optional<int>()>& ready = {});

} // namespace vq
