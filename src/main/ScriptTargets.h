#pragma once

#include "core/Geometry.h"

#include <memory>
#include <optional>
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
    // Where on the screen a user taps the target, for one whose centre is
    // covered by something of its own (a dimmer under a card); else its centre.
    virtual std::optional<Point> tapPoint(const std::string&) { return std::nullopt; }
};

} // namespace vq
