#include "web_client/web_exchange.h"

#include "web_client/curl_handles.h"

namespace Velto {
namespace {

// Slices of waiting between checks of the stop request (a stop also wakes the
// wait at once).
constexpr int kPollSliceMs = 100;

struct BodySink {
    std::string body;
    std::size_t limit{0};
    bool tooLarge{false};
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t bytes = size * count;
    if (sink->body.size() + bytes > sink->limit) {
        sink->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    sink->body.append(data, bytes);
    return bytes;
}

// "Expect:" keeps the library from waiting for a 100 Continue before the
// body; then the caller's lines in their order. Nothing when a line is
// malformed or memory runs out.
CurlList BuildHeaderList(const CurlLibrary& curl, std::string_view headers) {
    CurlList list{curl.slistAppend(nullptr, "Expect:"), CurlListDeleter{&curl}};
    std::string_view rest = headers;
    while (!rest.empty() && list) {
        const std::size_t end = rest.find("\r\n");
        const std::string line{rest.substr(0, end)};
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 2);
        if (line.empty())
            continue;
        if (line.find_first_of("\r\n") != std::string::npos)
            return nullptr;
        curl_slist* grown = curl.slistAppend(list.get(), line.c_str());
        if (!grown)
            return nullptr;
        (void)list.release();
        list.reset(grown);
    }
    return list;
}

bool SetOptions(const CurlLibrary& curl, CURL* h, const WebRequest& request,
                const std::string& userAgent, const std::string& method, curl_slist* headers,
                BodySink& sink) {
    bool ok = curl.easySetopt(h, CURLOPT_URL, request.url.c_str()) == CURLE_OK;
    const std::string protocols{request.protocols};
    ok = ok && curl.easySetopt(h, CURLOPT_PROTOCOLS_STR, protocols.c_str()) == CURLE_OK;
    if (request.direct)
        ok = ok && curl.easySetopt(h, CURLOPT_PROXY, "") == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    if (request.http11Only)
        ok = ok && curl.easySetopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_USERAGENT, userAgent.c_str()) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_FORBID_REUSE, 1L) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                               static_cast<long>(request.connectTimeout.count())) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_LOW_SPEED_TIME,
                               static_cast<long>(request.stallLimit.count())) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_TIMEOUT_MS,
                               static_cast<long>(request.totalTimeout.count())) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_MAXFILESIZE_LARGE,
                               static_cast<curl_off_t>(request.maxReplyBytes)) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_HTTPHEADER, headers) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_WRITEFUNCTION, &WriteBody) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK;
    if (method == "GET" && request.body.empty())
        return ok && curl.easySetopt(h, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                               static_cast<curl_off_t>(request.body.size())) == CURLE_OK;
    ok = ok && curl.easySetopt(h, CURLOPT_POSTFIELDS, request.body.data()) == CURLE_OK;
    if (method != "POST")
        ok = ok && curl.easySetopt(h, CURLOPT_CUSTOMREQUEST, method.c_str()) == CURLE_OK;
    return ok;
}

// Drives the attached transfer to its end; false on a library failure or a
// stop request.
bool RunTransfer(const CurlLibrary& curl, CURLM* multi, std::stop_token cancel) {
    // A stop request from another thread wakes the wait below at once.
    const std::stop_callback wake{cancel, [&curl, multi] { curl.multiWakeup(multi); }};
    int running = 1;
    while (true) {
        if (curl.multiPerform(multi, &running) != CURLM_OK)
            return false;
        if (running == 0)
            return true;
        if (cancel.stop_requested())
            return false;
        if (curl.multiPoll(multi, nullptr, 0, kPollSliceMs, nullptr) != CURLM_OK)
            return false;
    }
}

} // namespace

std::optional<WebReply> WebExchange(const WebRequest& request, std::stop_token cancel) {
    if (cancel.stop_requested())
        return std::nullopt;
    const CurlLibrary* library = LoadCurl();
    if (library == nullptr)
        return std::nullopt;
    const CurlLibrary& curl = *library;

    const CurlEasy easy{curl.easyInit(), CurlEasyDeleter{&curl}};
    const CurlMulti multi{curl.multiInit(), CurlMultiDeleter{&curl}};
    const CurlList headers = BuildHeaderList(curl, request.headers);
    if (!easy || !multi || !headers)
        return std::nullopt;

    // The library keeps pointers to these strings until the transfer ends.
    const std::string userAgent{request.userAgent};
    const std::string method{request.method};
    BodySink sink;
    sink.limit = request.maxReplyBytes;
    CURL* h = easy.get();
    if (!SetOptions(curl, h, request, userAgent, method, headers.get(), sink))
        return std::nullopt;

    const MultiAttachment attachment{curl, multi.get(), h};
    if (!attachment.Attached() || !RunTransfer(curl, multi.get(), cancel))
        return std::nullopt;

    int queued = 0;
    CURLcode outcome = CURLE_FAILED_INIT;
    while (const CURLMsg* message = curl.multiInfoRead(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == h)
            outcome = message->data.result;
    }
    if (outcome != CURLE_OK || sink.tooLarge)
        return std::nullopt;

    long status = 0;
    if (curl.easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0)
        return std::nullopt;
    return WebReply{status, std::move(sink.body)};
}

} // namespace Velto
