#include "app/usage/usage_post.h"

#include "web_client/web_exchange.h"

#include <chrono>

namespace App {
namespace {

constexpr std::string_view kUserAgent = "VeltoSDK";
constexpr std::string_view kHeaders = "Content-Type: application/json\r\n";
// Name resolution and connecting (TLS included) share one bound of their two
// five-second allowances; a send or receive that moves no byte for five
// seconds ends the exchange; and nothing, however it trickles, takes longer
// than the four allowances together.
constexpr std::chrono::milliseconds kConnectTimeout{10000};
constexpr std::chrono::seconds kStallLimit{5};
constexpr std::chrono::milliseconds kTotalTimeout{20000};

} // namespace

long PostUsageBatch(const std::string& url, std::string_view body, std::stop_token cancel) {
    const Velto::WebRequest request{
        .url = url,
        .protocols = "https,http",
        .method = "POST",
        .headers = kHeaders,
        .body = body,
        .userAgent = kUserAgent,
        .direct = false, // through the proxy the environment names
        .http11Only = false,
        .connectTimeout = kConnectTimeout,
        .stallLimit = kStallLimit,
        .totalTimeout = kTotalTimeout,
        .maxReplyBytes = kMaxUsageReplyBytes,
    };
    const auto reply = Velto::WebExchange(request, cancel);
    return reply ? reply->status : 0;
}

} // namespace App
