#pragma once

#include <memory>

namespace vq {

class ApplicationDelegate;
class ScriptTargets;

// The editor's controls, and those of the composer it presents, by the names
// scripts use for them. Empty when the delegate is not the app's.
std::shared_ptr<ScriptTargets> editorTargets(ApplicationDelegate& delegate);

} // namespace vq
