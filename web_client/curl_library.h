#pragma once

#include <curl/curl.h>

namespace Velto {

// The entry points of libcurl this client uses, looked up in the library once
// it is first needed: a run that never makes an outgoing exchange (a headless
// server without the router or the usage report) does not pay at start for
// loading libcurl and the dozens of libraries it depends on.
struct CurlLibrary {
    decltype(&curl_global_init) globalInit{};
    decltype(&curl_easy_init) easyInit{};
    decltype(&curl_easy_cleanup) easyCleanup{};
    decltype(&curl_easy_setopt) easySetopt{};
    decltype(&curl_easy_getinfo) easyGetinfo{};
    decltype(&curl_multi_init) multiInit{};
    decltype(&curl_multi_cleanup) multiCleanup{};
    decltype(&curl_multi_add_handle) multiAddHandle{};
    decltype(&curl_multi_remove_handle) multiRemoveHandle{};
    decltype(&curl_multi_perform) multiPerform{};
    decltype(&curl_multi_poll) multiPoll{};
    decltype(&curl_multi_wakeup) multiWakeup{};
    decltype(&curl_multi_info_read) multiInfoRead{};
    decltype(&curl_slist_append) slistAppend{};
    decltype(&curl_slist_free_all) slistFreeAll{};
};

// The library, loaded and set up (curl_global_init) by the first call from
// any thread; null when it cannot be loaded, lacks an entry point or fails to
// set up. It stays loaded for the rest of the process.
const CurlLibrary* LoadCurl();

} // namespace Velto
