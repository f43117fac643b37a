#include "net/NetworkSwitch.h"

#include <atomic>

namespace vq {

namespace {

std::atomic<bool> enabled{true};

} // namespace

void setNetworkEnabled(bool on) { enabled = on; }

bool isNetworkEnabled() { return enabled; }

} // namespace vq
