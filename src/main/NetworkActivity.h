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

// Called with the exit status once the app's host is gone and all it wrote is closed.
// A network library still loading would hold the exit until it is in (the loader's
// lock is taken again at exit), though nothing waits for it any more: then the
// process ends here at once. Otherwise returns the status for a normal exit, which
// sanitizer builds always take, so their leak check runs.
int endProcess(int status);

} // namespace vq
