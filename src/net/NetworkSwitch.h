#pragma once

namespace vq {

// With the network off (the card command's run), every request fails at once
// with "The network is off" and no connection is made. On at first.
void setNetworkEnabled(bool enabled);
bool isNetworkEnabled();

} // namespace vq
