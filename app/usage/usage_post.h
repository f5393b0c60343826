#pragma once

#include <stop_token>
#include <string>
#include <string_view>

namespace App {

// The most of an answer's body that is read; a longer one ends the exchange.
inline constexpr std::size_t kMaxUsageReplyBytes = 65536;

// Posts one usage batch (JSON) to `url` with the user agent "VeltoSDK", the
// proxy the environment names, no redirects, five seconds for each of name
// resolution, connecting, a stalled send and a stalled receive, and at most
// kMaxUsageReplyBytes of the answer read. Returns the HTTP status, 0 when no
// answer came; nobody acts on it. A stop request through `cancel` ends the
// exchange at once.
long PostUsageBatch(const std::string& url, std::string_view body, std::stop_token cancel);

} // namespace App
