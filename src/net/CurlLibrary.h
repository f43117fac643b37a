#pragma once

#include <functional>

#include <curl/curl.h>

namespace vq {

// libcurl's entry points, loaded and globally initialised on first use instead of at
// process start: with its TLS and protocol libraries it is most of what the loader does
// for a run that never makes a request (the card, a launch before any fetch).
#define VQ_CURL_FUNCTIONS(X)                                                                                        \
    X(globalInit, curl_global_init)                                                                                 \
    X(globalCleanup, curl_global_cleanup)                                                                           \
    X(easyInit, curl_easy_init)                                                                                     \
    X(easyCleanup, curl_easy_cleanup)                                                                               \
    X(easySetopt, curl_easy_setopt)                                                                                 \
    X(easyGetinfo, curl_easy_getinfo)                                                                               \
    X(easyStrerror, curl_easy_strerror)                                                                             \
    X(slistAppend, curl_slist_append)                                                                               \
    X(slistFreeAll, curl_slist_free_all)                                                                            \
    X(multiInit, curl_multi_init)                                                                                   \
    X(multiCleanup, curl_multi_cleanup)                                                                             \
    X(multiAddHandle, curl_multi_add_handle)                                                                        \
    X(multiRemoveHandle, curl_multi_remove_handle)                                                                  \
    X(multiPerform, curl_multi_perform)                                                                             \
    X(multiInfoRead, curl_multi_info_read)                                                                          \
    X(multiPoll, curl_multi_poll)                                                                                   \
    X(multiWakeup, curl_multi_wakeup)                                                                               \
    X(url, curl_url)                                                                                                \
    X(urlCleanup, curl_url_cleanup)                                                                                 \
    X(urlDup, curl_url_dup)                                                                                         \
    X(urlGet, curl_url_get)                                                                                         \
    X(urlSet, curl_url_set)                                                                                         \
    X(free, curl_free)

struct CurlLibrary {
#define VQ_CURL_MEMBER(member, symbol) decltype(&::symbol) member = nullptr;
    VQ_CURL_FUNCTIONS(VQ_CURL_MEMBER)
#undef VQ_CURL_MEMBER
};

// Loads libcurl once per process (thread-safe) and initialises it; nullptr when it cannot
// be loaded or initialised, which makes every handle fail to be created.
const CurlLibrary* curlLibrary();

// Starts loading libcurl on a thread of its own (once per process); the caller goes on
// meanwhile. `then` runs on that thread when the load has ended, or here at once when
// it already has.
void preloadCurlLibrary(std::function<void()> then = {});

// Whether the load has ended, loaded or not: curlLibrary() no longer waits.
bool curlLibraryReady();

// A preload still under way: a process that is done may end without waiting for it.
bool curlLibraryLoading();

} // namespace vq
