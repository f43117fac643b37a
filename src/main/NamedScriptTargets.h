#pragma once

#include "main/ScriptTargets.h"

#include <functional>
#include <map>

namespace vq {

// Targets looked up through functions registered by name; names without one
// are parts of the app that are not built yet.
class NamedScriptTargets : public ScriptTargets {
public:
    using Lookup = std::function<std::shared_ptr<View>()>;

    static std::shared_ptr<NamedScriptTargets> create() { return std::make_shared<NamedScriptTargets>(); }

    using PointLookup = std::function<std::optional<Point>()>;

    void add(std::string name, Lookup lookup) { _lookups[std::move(name)] = std::move(lookup); }
    void addTapPoint(std::string name, PointLookup lookup) { _points[std::move(name)] = std::move(lookup); }

    std::shared_ptr<View> find(const std::string& name) override
    {
        auto it = _lookups.find(name);
        return it == _lookups.end() ? nullptr : it->second();
    }
    bool isAvailable(const std::string& name) const override { return _lookups.contains(name); }
    std::optional<Point> tapPoint(const std::string& name) override
    {
        auto it = _points.find(name);
        return it == _points.end() ? std::nullopt : it->second();
    }

private:
    std::map<std::string, Lookup> _lookups;
    std::map<std::string, PointLookup> _points;
};

} // namespace vq
