#include "server/http/canned_response.h"

#include "server/http/reason_phrase.h"

namespace Velto::Corvane {

std::string CannedResponse(std::int32_t status) {
    std::string text = "HTTP/1.1 ";
    text.append(std::to_string(status)).append(" ").append(ReasonPhrase(status));
    text.append("\r\nContent-Length: 0\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n");
    return text;
}

void SendCannedResponse(Net::IConnection& connection, ServerCounters& counters,
                        std::int32_t status) {
    const std::string text = CannedResponse(status);
    if (Succeeded(connection.Send(std::as_bytes(std::span(text)))))
        counters.bytesSent.fetch_add(text.size(), std::memory_order_relaxed);
}

} // namespace Velto::Corvane
