#include "reach/http_exchange.h"

#include "reach/http_url.h"

#include <chrono>
#include <string>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kUserAgent = "VeltoCorvane";
// Routers are on the local network: name resolution and connecting are covered
// by one bound, and a stalled send or receive gives up after five seconds.
constexpr std::chrono::milliseconds kConnectTimeout{3000};
constexpr std::chrono::seconds kStallLimit{5};
// No exchange, however it trickles, holds the worker longer than this.
constexpr std::chrono::milliseconds kTotalTimeout{30000};

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
    if (!parsed || !IsSafeTarget(*parsed) || !IsToken(method))
        return std::nullopt;
    // The library adds "Accept: */*" of its own; the empty form keeps the
    // request to exactly what the caller gave.
    std::string headerLines = "Accept:\r\n";
    headerLines.append(headers);
    const WebRequest request{
        .url = "http://" + parsed->host + ":" + std::to_string(parsed->port) + parsed->path,
        .protocols = "http",
        .method = method,
        .headers = headerLines,
        .body = body,
        .userAgent = kUserAgent,
        .direct = true,
        .http11Only = true,
        .connectTimeout = kConnectTimeout,
        .stallLimit = kStallLimit,
        .totalTimeout = kTotalTimeout,
        .maxReplyBytes = kMaxHttpReplyBytes,
    };
    return WebExchange(request, cancel);
}

} // namespace Velto::Corvane
