#pragma once

#include "main/LaunchOptions.h"

namespace vq {

// Whether an HTTP request, URL connection, store-page load or the decoding of
// a fetched picture is in flight (a blocking load never is: nothing runs
// while it waits). Main thread.
bool networkBusy();

// Launch's share of the network: the network on or off, every request's end
// told on the event hub, store pages pointed at the store, push answering as
// asked.
void connectNetwork(const LaunchOptions& options);

} // namespace vq
