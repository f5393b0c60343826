#include "reach/http_exchange.h"

#include "reach/http_url.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace Velto::Corvane {
namespace {

constexpr const char* kUserAgent = "VeltoCorvane";
// Routers are on the local network: name resolution and connecting are covered
// by one bound, and a stalled send or receive gives up after five seconds.
constexpr long kConnectTimeoutMs = 3000;
constexpr long kStallLimitSeconds = 5;
// No exchange, however it trickles, holds the worker longer than this.
constexpr long kTotalTimeoutMs = 30000;
// Slices of waiting between checks of the cancel request (a cancel also wakes
// the wait at once).
constexpr int kPollSliceMs = 100;

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

struct BodySink {
    std::string body;
    bool tooLarge{false};
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t bytes = size * count;
    if (sink->body.size() + bytes > kMaxHttpReplyBytes) {
        sink->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    sink->body.append(data, bytes);
    return bytes;
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// Only plain host names and addresses, and paths without spaces or control
// characters, go to the URL parser of the HTTP library: anything else could
// make it read a different host or request line than the one checked here.
bool IsSafeTarget(const HttpUrl& url) {
    for (const char c : url.host) {
        if (!IsHostCharacter(c))
            return false;
    }
    for (const char c : url.path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || c == '#')
            return false;
    }
    return true;
}

bool IsToken(std::string_view method) {
    if (method.empty())
        return false;
    for (const char c : method) {
        if (c < 'A' || c > 'Z')
            return false;
    }
    return true;
}

} // namespace

std::optional<HttpReply> HttpExchange(std::string_view url, std::string_view method,
                                      std::string_view headers, std::string_view body,
                                      std::stop_token cancel) {
    const auto parsed = ParseHttpUrl(url);
    if (!parsed || !IsSafeTarget(*parsed) || !IsToken(method) || cancel.stop_requested())
        return std::nullopt;
    InitCurlOnce();

    CurlEasy easy{curl_easy_init()};
    CurlMulti multi{curl_multi_init()};
    if (!easy || !multi)
        return std::nullopt;

    const std::string target =
        "http://" + parsed->host + ":" + std::to_string(parsed->port) + parsed->path;
    const std::string methodText{method};
    BodySink sink;

    // curl adds "Accept: */*" and may add "Expect: 100-continue" on its own;
    // the empty forms keep the request to exactly what the caller gave.
    curl_slist* list = curl_slist_append(nullptr, "Accept:");
    list = list ? curl_slist_append(list, "Expect:") : nullptr;
    CurlList headerList{list};
    std::string_view rest = headers;
    while (!rest.empty() && headerList) {
        const std::size_t end = rest.find("\r\n");
        const std::string line{rest.substr(0, end)};
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
        if (line.empty())
            continue;
        if (line.find_first_of("\r\n") != std::string::npos)
            return std::nullopt;
        curl_slist* grown = curl_slist_append(headerList.get(), line.c_str());
        if (!grown)
            return std::nullopt;
        (void)headerList.release();
        headerList.reset(grown);
    }
    if (!headerList)
        return std::nullopt;

    CURL* h = easy.get();
    bool ok = curl_easy_setopt(h, CURLOPT_URL, target.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http") == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallLimitSeconds) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                                static_cast<curl_off_t>(kMaxHttpReplyBytes)) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList.get()) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
    if (methodText == "GET" && body.empty()) {
        ok = ok && curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    } else {
        ok = ok && curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                                    static_cast<curl_off_t>(body.size())) == CURLE_OK;
        ok = ok && curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.data()) == CURLE_OK;
        if (methodText != "POST")
            ok = ok && curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, methodText.c_str()) == CURLE_OK;
    }
    if (!ok)
        return std::nullopt;

    MultiAttachment attachment{multi.get(), h};
    if (!attachment.Attached())
        return std::nullopt;
    // A cancel from another thread wakes the wait below at once.
    std::stop_callback wake{cancel, [m = multi.get()] { curl_multi_wakeup(m); }};

    int running = 1;
    while (true) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
            return std::nullopt;
        if (running == 0)
            break;
        if (cancel.stop_requested())
            return std::nullopt;
        if (curl_multi_poll(multi.get(), nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK)
            return std::nullopt;
    }

    int queued = 0;
    CURLcode outcome = CURLE_FAILED_INIT;
    while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            outcome = message->data.result;
    }
    if (outcome != CURLE_OK || sink.tooLarge)
        return std::nullopt;

    long status = 0;
    if (curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0)
        return std::nullopt;
    return HttpReply{status, std::move(sink.body)};
}

} // namespace Velto::Corvane
