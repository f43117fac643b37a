#pragma once

#include <memory>
#include <string>

namespace vq {

class View;

// The app's named script targets ("send", "message", ...).
class ScriptTargets {
public:
    virtual ~ScriptTargets() = default;
    // nullptr when the app has no such view now.
    virtual std::shared_ptr<View> find(const std::string& name) = 0;
    // Whether the name belongs to a part of the app that is not built yet.
    virtual bool isAvailable(const std::string& name) const = 0;
    // Whether a tap may land on any uncovered point of the view (a dimmer
    // behind a card), not only at its centre.
    virtual bool tapsAnyUncoveredPoint(const std::string&) const { return false; }
};

} // namespace vq
