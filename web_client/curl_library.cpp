#include "web_client/curl_library.h"

#include <dlfcn.h>

#include <optional>

namespace Velto {
namespace {

// The name the runtime package installs libcurl under (its ABI version 4).
constexpr const char* kCurlSoname = "libcurl.so.4";

template <typename Function> bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

std::optional<CurlLibrary> Open() {
    void* library = ::dlopen(kCurlSoname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return std::nullopt;
    CurlLibrary curl;
    const bool found = Find(library, "curl_global_init", curl.globalInit) &&
                       Find(library, "curl_easy_init", curl.easyInit) &&
                       Find(library, "curl_easy_cleanup", curl.easyCleanup) &&
                       Find(library, "curl_easy_setopt", curl.easySetopt) &&
                       Find(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                       Find(library, "curl_multi_init", curl.multiInit) &&
                       Find(library, "curl_multi_cleanup", curl.multiCleanup) &&
                       Find(library, "curl_multi_add_handle", curl.multiAddHandle) &&
                       Find(library, "curl_multi_remove_handle", curl.multiRemoveHandle) &&
                       Find(library, "curl_multi_perform", curl.multiPerform) &&
                       Find(library, "curl_multi_poll", curl.multiPoll) &&
                       Find(library, "curl_multi_wakeup", curl.multiWakeup) &&
                       Find(library, "curl_multi_info_read", curl.multiInfoRead) &&
                       Find(library, "curl_slist_append", curl.slistAppend) &&
                       Find(library, "curl_slist_free_all", curl.slistFreeAll);
    // The library stays loaded either way: unloading what curl_global_init
    // may have set up is not safe, and a failed look-up is not retried.
    if (!found || curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return std::nullopt;
    return curl;
}

} // namespace

const CurlLibrary* LoadCurl() {
    static const std::optional<CurlLibrary> curl = Open();
    return curl ? &*curl : nullptr;
}

} // namespace Velto
