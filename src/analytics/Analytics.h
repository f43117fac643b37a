#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vq {

// Published on the event hub after every startSession (with "startSession:"
// + key) and every logEvent (with the name), ignored calls included. Calls
// off the main thread publish through the main run loop.
struct AnalyticsEventLogged {
    std::string name;
};

// Records one session per process and the events logged in it. Each session
// is a JSON-lines file under Paths::dataDir()/analytics:
//   {"type":"session","key":"...","start":<unix seconds>}
//   {"type":"event","name":"...","t":<seconds since the start>}
// Every line is handed to the system as it happens, so a crash loses at most
// the line being written. Events logged before the session starts are kept
// and written when it starts (their t is then negative). When the folder
// cannot be written the session carries on in memory. The folder keeps the
// last twenty sessions; older ones are removed on a thread of their own.
class Analytics {
public:
    static void startSession(const std::string& key);
    static void logEvent(const std::string& name);

    // Monotonic seconds for event times; the system's steady clock by default.
    static void setTimeSource(std::function<double()> now);

    // The session's file; nullopt before the start or while in memory.
    static std::optional<std::filesystem::path> sessionFile();
    // Lines that are not in a file: the session's when its folder could not
    // be written.
    static std::vector<std::string> heldLines();

    // Returns once the sessions past the kept number are removed.
    static void waitForPruning();

    // Ends the session and forgets the time source and every held line, so a
    // new session can start (tests).
    static void reset();
};

} // namespace vq
