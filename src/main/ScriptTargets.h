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
};

} // namespace vq
