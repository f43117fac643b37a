#pragma once

#include "core/PropertyList.h"

#include <optional>
#include <string>

namespace vq {

// Loads the property list at url while the main thread waits: it publishes
// MainThreadWillBlock first (a window draws its busy indicator), then runs
// nothing of the app until the load ends, within HttpRequest's time-out.
// The root dictionary, or nothing (network, status other than 200, a body
// that does not parse, a root that is not a dictionary).
std::optional<PlistValue> loadPropertyListBlocking(const std::string& url);

} // namespace vq
