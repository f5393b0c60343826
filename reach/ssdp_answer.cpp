#include "reach/ssdp_answer.h"

#include "reach/http_url.h"

namespace Velto::Corvane {
namespace {

constexpr std::size_t kMinStatusLineLength = 12;
constexpr std::size_t kStatusCodeOffset = 9;
constexpr std::size_t kMaxLocationLength = 1023;

bool IsHeaderSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsHeaderSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsHeaderSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string BuildSearchRequest(std::string_view target) {
    std::string request = "M-SEARCH * HTTP/1.1\r\n"
                          "HOST: 239.255.255.250:1900\r\n"
                          "MAN: \"ssdp:discover\"\r\n"
                          "MX: 2\r\n"
                          "ST: ";
    request.append(target).append("\r\n\r\n");
    return request;
}

std::optional<std::string> ParseSearchAnswer(std::string_view datagram) {
    const std::size_t firstEnd = datagram.find("\r\n");
    const std::string_view statusLine = datagram.substr(0, firstEnd);
    if (statusLine.size() < kMinStatusLineLength || !StartsWithNoCase(statusLine, "HTTP/1.") ||
        statusLine.substr(kStatusCodeOffset, 3) != "200")
        return std::nullopt;
    if (firstEnd == std::string_view::npos)
        return std::nullopt;

    std::string_view rest = datagram.substr(firstEnd + 2);
    while (!rest.empty()) {
        const std::size_t lineEnd = rest.find('\n');
        const std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view{} : rest.substr(lineEnd + 1);

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = Trim(line.substr(0, colon));
        if (name.size() != 8 || !StartsWithNoCase(name, "location"))
            continue;
        const std::string_view value = Trim(line.substr(colon + 1));
        if (!StartsWithNoCase(value, "http://") || value.size() > kMaxLocationLength)
            return std::nullopt;
        return std::string{value};
    }
    return std::nullopt;
}

} // namespace Velto::Corvane
