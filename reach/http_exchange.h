#pragma once

#include "web_client/web_exchange.h"

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string_view>

namespace Velto::Corvane {

// A router's status code and reply body.
using HttpReply = WebReply;

// Largest response body accepted from a router.
inline constexpr std::size_t kMaxHttpReplyBytes = 262144;

// One plain HTTP/1.1 request to a router: never through a proxy, never
// following redirects, bounded by short time-outs and a 256 KiB body limit.
// `headers` holds complete header lines, each ending in CR LF. Returns the
// reply whenever a complete response arrived, whatever its status; nothing on
// any failure, including a cancel through `cancel`.
std::optional<HttpReply> HttpExchange(std::string_view url, std::string_view method,
                                      std::string_view headers, std::string_view body,
                                      std::stop_token cancel = {});

} // namespace Velto::Corvane
