#include "reach/http_url.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"

namespace Velto::Corvane {
namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::size_t kMaxPortDigits = 5;
constexpr std::uint32_t kMaxPort = 65535;

} // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           AsciiEqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
    if (!StartsWithNoCase(url, kHttpScheme))
        return std::nullopt;
    const std::string_view rest = url.substr(kHttpScheme.size());
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);

    HttpUrl result;
    result.path =
        slash == std::string_view::npos ? std::string{"/"} : std::string{rest.substr(slash)};
    if (authority.find('@') != std::string_view::npos || authority.starts_with('['))
        return std::nullopt;

    const std::size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view digits = authority.substr(colon + 1);
        const std::optional<std::uint64_t> port = ParseDecimal(digits, kMaxPortDigits);
        if (!port || *port < 1 || *port > kMaxPort)
            return std::nullopt;
        result.port = static_cast<std::uint16_t>(*port);
    }
    result.host = std::string{authority.substr(0, colon)};
    if (result.host.empty())
        return std::nullopt;
    return result;
}

std::string ResolveUrl(std::string_view base, std::string_view reference) {
    if (StartsWithNoCase(reference, kHttpScheme))
        return std::string{reference};
    const std::size_t slashes = base.find("//");
    if (slashes == std::string_view::npos)
        return {};
    const std::size_t pathStart = base.find('/', slashes + 2);
    const std::string_view origin = base.substr(0, pathStart);
    if (reference.starts_with('/'))
        return std::string{origin}.append(reference);

    std::string_view directory = "/";
    if (pathStart != std::string_view::npos) {
        std::string_view path = base.substr(pathStart);
        path = path.substr(0, path.find('?'));
        directory = path.substr(0, path.rfind('/') + 1);
    }
    return std::string{origin}.append(directory).append(reference);
}

} // namespace Velto::Corvane
