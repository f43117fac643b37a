#pragma once

#include "main/Launch.h"
#include "main/LaunchOptions.h"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>

namespace vq {

class ApplicationDelegate;
class ScriptTargets;

// Runs the app without a window (launchApp with a virtual clock), then the
// script. Exit statuses: 0 done, 1 the data or events folder cannot be used,
// 2 the script is missing, does not parse or a command of it failed.
class HeadlessHost {
public:
    // Named script targets of the launched app.
    using TargetsFactory = std::function<std::shared_ptr<ScriptTargets>(ApplicationDelegate&)>;

    HeadlessHost(LaunchOptions options, DelegateFactory makeDelegate, TargetsFactory makeTargets);

    // Messages for the user go to errors.
    int run(std::ostream& errors);

    // Everything run does before the script: the app is running after it.
    // An exit status when it cannot start.
    std::optional<int> launch(std::ostream& errors);
    const std::shared_ptr<ApplicationDelegate>& delegate() const { return _launched.delegate; }
    std::shared_ptr<ScriptTargets> targets() const;

private:
    LaunchOptions _options;
    DelegateFactory _makeDelegate;
    TargetsFactory _makeTargets;
    LaunchedApp _launched;
};

} // namespace vq
