#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

namespace Velto {

// One HTTP request and what bounds it. Redirects are never followed.
struct WebRequest {
    std::string url;
    // The URL schemes allowed, as libcurl names them: "http" or "https,http".
    std::string_view protocols{"http"};
    std::string_view method{"GET"};
    // Complete header lines, each ending in CR LF. An empty line is skipped;
    // a line holding a lone CR or LF fails the exchange. A line "Name:" with
    // no value removes a header the library would add of its own.
    std::string_view headers;
    std::string_view body;
    std::string_view userAgent;
    // True: straight to the host, whatever proxy the environment names.
    bool direct{false};
    // True: HTTP/1.1 even where the library could offer a later version.
    bool http11Only{false};
    // Name resolution and connecting share this bound.
    std::chrono::milliseconds connectTimeout{};
    // A send or receive that moves no byte for this long ends the exchange.
    std::chrono::seconds stallLimit{};
    // Nothing, however it trickles, takes longer than this.
    std::chrono::milliseconds totalTimeout{};
    // A longer reply body, announced or received, ends the exchange.
    std::size_t maxReplyBytes{0};
};

struct WebReply {
    long status{};
    std::string body;
};

// Runs the request. Returns the reply whenever a complete response arrived,
// whatever its status; nothing on any failure, including a stop request
// through `cancel`, which ends the exchange at once.
std::optional<WebReply> WebExchange(const WebRequest& request, std::stop_token cancel = {});

} // namespace Velto
