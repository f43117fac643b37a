#pragma once

#include "main/Script.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace vq {

class ScriptTargets;
class ScrollView;
class View;

// Plays parsed script commands against the running app as a user would:
// real touches through hit testing, key by key typing, time passing on the
// run loop's clock. After each command the work it caused is let run.
class ScriptRunner {
public:
    // scriptName prefixes error messages ("tour.vqs:12: ...").
    ScriptRunner(std::shared_ptr<ScriptTargets> targets, std::string scriptName, std::ostream& errors);

    // 0 when every command ran; 2 when one failed, after a message naming its line.
    int run(const std::vector<ScriptCommand>& commands);
    // One command, then the work it caused; same statuses as run. A host
    // that keeps its own time plays scripts command by command with this.
    int runCommand(const ScriptCommand& command);

    static constexpr int kFailed = 2;
    // The longest `settle`, in real seconds (tests shorten it).
    static inline double settleLimitSeconds = 30;

private:
    using Found = std::variant<std::shared_ptr<View>, std::string>;

    std::optional<std::string> execute(const ScriptCommand& command);
    std::optional<std::string> tapTarget(const ScriptTarget& target);
    std::optional<std::string> tapAlertButton(int index);
    std::optional<std::string> needsFocus() const;
    Found resolve(const ScriptTarget& target);
    // Drags each scroll view around the view until rect (in the view's
    // coordinates) is inside it.
    std::optional<std::string> bringIntoView(View& view, const Rect& rect, const std::string& what);
    std::optional<std::string> dragScroll(ScrollView& scrollView, Point targetOffset, const std::string& what);
    std::optional<std::string> tapVisible(const std::shared_ptr<View>& view, const std::string& what);
    // A tap at p (screen points) when it reaches view.
    std::optional<std::string> tapAt(const std::shared_ptr<View>& view, Point p, const std::string& what);
    static void settle();
    // Delivers network callbacks as they arrive until nothing is in flight.
    static std::optional<std::string> settleNetwork();

    std::shared_ptr<ScriptTargets> _targets;
    std::string _scriptName;
    std::ostream& _errors;
};

} // namespace vq
