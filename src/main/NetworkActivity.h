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

// Called with the exit status once the app's host is gone and all it wrote is closed:
// the process ends here at once. What it keeps is on disk by then, so tearing down its
// caches and libraries one by one would only delay the exit, and a network library
// still loading would hold it until it is in (the loader's lock is taken again at exit).
// Sanitizer builds return the status for a normal exit instead, so their leak check runs.
int endProcess(int status);

} // namespace vq
