#include "app/usage/usage_post.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace App {
namespace {

constexpr const char* kUserAgent = "VeltoSDK";
constexpr const char* kContentType = "Content-Type: application/json";
// Name resolution and connecting (TLS included) share one bound of their two
// five-second allowances; a send or receive that moves no byte for five
// seconds ends the exchange; and nothing, however it trickles, takes longer
// than the four allowances together.
constexpr long kConnectTimeoutMs = 10000;
constexpr long kStallLimitSeconds = 5;
constexpr long kTotalTimeoutMs = 20000;
// Slices of waiting between checks of the stop request (a stop also wakes the
// wait at once).
constexpr int kPollSliceMs = 200;

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Keeps an easy handle attached to a multi handle for one transfer.
class MultiAttachment {
public:
    MultiAttachment(CURLM* multi, CURL* easy) : m_multi(multi), m_easy(easy) {
        m_attached = curl_multi_add_handle(multi, easy) == CURLM_OK;
    }
    ~MultiAttachment() {
        if (m_attached)
            curl_multi_remove_handle(m_multi, m_easy);
    }
    MultiAttachment(const MultiAttachment&) = delete;
    MultiAttachment& operator=(const MultiAttachment&) = delete;
    bool Attached() const { return m_attached; }

private:
    CURLM* m_multi;
    CURL* m_easy;
    bool m_attached{false};
};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Counts the answer's bytes and keeps none of them.
size_t DiscardBody(char*, size_t size, size_t count, void* user) {
    auto* received = static_cast<std::size_t*>(user);
    const size_t bytes = size * count;
    if (*received + bytes > kMaxUsageReplyBytes)
        return 0; // ends the transfer with a write error
    *received += bytes;
    return bytes;
}

} // namespace

long PostUsageBatch(const std::string& url, std::string_view body, std::stop_token cancel) {
    if (cancel.stop_requested())
        return 0;
    InitCurlOnce();
    CurlEasy easy{curl_easy_init()};
    CurlMulti multi{curl_multi_init()};
    // "Expect:" keeps curl from waiting for a 100 Continue before the body.
    curl_slist* list = curl_slist_append(nullptr, kContentType);
    list = list ? curl_slist_append(list, "Expect:") : nullptr;
    const CurlList headers{list};
    if (!easy || !multi || !headers)
        return 0;

    std::size_t received = 0;
    CURL* h = easy.get();
    bool ok = curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https,http") == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallLimitSeconds) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                                static_cast<curl_off_t>(body.size())) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DiscardBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEDATA, &received) == CURLE_OK;
    if (!ok)
        return 0;

    const MultiAttachment attachment{multi.get(), h};
    if (!attachment.Attached())
        return 0;
    const std::stop_callback wake{cancel, [m = multi.get()] { curl_multi_wakeup(m); }};
    int running = 1;
    while (true) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
            return 0;
        if (running == 0)
            break;
        if (cancel.stop_requested())
            return 0;
        if (curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK)
            return 0;
    }
    int queued = 0;
    const CURLMsg* message = curl_multi_info_read(multi.get(), &queued);
    if (!message || message->msg != CURLMSG_DONE || message->data.result != CURLE_OK)
        return 0;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

} // namespace App
