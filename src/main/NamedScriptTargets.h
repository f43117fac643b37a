#pragma once

#include "main/ScriptTargets.h"

#include <functional>
#include <map>
#include <set>

namespace vq {

// Targets looked up through functions registered by name; names without one
// are parts of the app that are not built yet.
class NamedScriptTargets : public ScriptTargets {
public:
    using Lookup = std::function<std::shared_ptr<View>()>;

    static std::shared_ptr<NamedScriptTargets> create() { return std::make_shared<NamedScriptTargets>(); }

    void add(std::string name, Lookup lookup) { _lookups[std::move(name)] = std::move(lookup); }
    // A target a tap may reach at any uncovered point.
    void addAnywhere(std::string name, Lookup lookup)
    {
        _anywhere.insert(name);
        add(std::move(name), std::move(lookup));
    }

    std::shared_ptr<View> find(const std::string& name) override
    {
        auto it = _lookups.find(name);
        return it == _lookups.end() ? nullptr : it->second();
    }
    bool isAvailable(const std::string& name) const override { return _lookups.contains(name); }
    bool tapsAnyUncoveredPoint(const std::string& name) const override { return _anywhere.contains(name); }

private:
    std::map<std::string, Lookup> _lookups;
    std::set<std::string> _anywhere;
};

} // namespace vq
