#include "net/CurlLibrary.h"

#include "core/Sanitizers.h"
#include "core/SharedLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vq {

namespace {

constexpr const char* kSoname = "libcurl.so.4";

// Binding libcurl's symbols within its own dependencies first halves the cost of
// loading it: otherwise each of its TLS library's thousands of symbols is looked for
// in every library of the process first. The sanitizers' runtimes refuse such a
// library, so their builds load it plainly.
constexpr int kOwnScopeFirst = kSanitizedBuild ? 0 : RTLD_DEEPBIND;

// Owns the loaded table and the thread that may be loading it, so that at exit the
// thread is joined before the table is cleaned up.
class Library {
public:
    ~Library()
    {
        if (_preload.joinable())
            _preload.join();
        // The library itself stays mapped: handles may still be freed during exit.
        if (_initialised)
            _functions.globalCleanup();
    }

    const CurlLibrary* get()
    {
        std::call_once(_once, [this] { _initialised = load(); });
        _ready = true;
        return _initialised ? &_functions : nullptr;
    }

    bool ready() const { return _ready; }

    bool loading()
    {
        std::lock_guard lock(_preloadMutex);
        return _preload.joinable() && !_ready;
    }

    void preload(std::function<void()> then)
    {
        {
            std::lock_guard lock(_preloadMutex);
            // Read under the lock: a waiter added while it is false is handed over by the thread.
            if (!_ready) {
                if (then)
                    _waiters.push_back(std::move(then));
                if (!_preload.joinable())
                    _preload = std::thread([this] { preloaded(); });
                return;
            }
        }
        if (then)
            then();
    }

private:
    void preloaded()
    {
        get();
        std::vector<std::function<void()>> waiters;
        {
            std::lock_guard lock(_preloadMutex);
            waiters.swap(_waiters);
        }
        for (auto& then : waiters)
            then();
    }

    bool load()
    {
        auto curl = SharedLibrary::open(kSoname, kOwnScopeFirst);
        if (!curl.loaded())
            return false;
#define VQ_CURL_RESOLVE(member, symbol) &&curl.resolve(#symbol, _functions.member)
        if (!(true VQ_CURL_FUNCTIONS(VQ_CURL_RESOLVE)))
            return false;
#undef VQ_CURL_RESOLVE
        return _functions.globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }

    std::once_flag _once;
    CurlLibrary _functions;
    bool _initialised = false;
    std::atomic<bool> _ready{false};
    std::mutex _preloadMutex;
    std::thread _preload;
    std::vector<std::function<void()>> _waiters;
};

Library& library()
{
    static Library instance;
    return instance;
}

} // namespace

const CurlLibrary* curlLibrary() { return library().get(); }

void preloadCurlLibrary(std::function<void()> then) { library().preload(std::move(then)); }

bool curlLibraryReady() { return library().ready(); }

bool curlLibraryLoading() { return library().loading(); }

} // namespace vq
