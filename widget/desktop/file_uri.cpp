#include "widget/desktop/file_uri.h"

#include "base/ascii_case.h"
#include "base/hex_digit.h"

namespace Velto::Widget::Kit {

std::optional<std::string> PathFromFileUri(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.size() < kScheme.size() ||
        !AsciiEqualsIgnoreCase(uri.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    std::string_view rest = uri.substr(kScheme.size());
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !AsciiEqualsIgnoreCase(host, "localhost"))
        return std::nullopt;
    rest = rest.substr(slash);
    // A query or fragment is not part of a file's path.
    if (rest.find_first_of("?#") != std::string_view::npos)
        return std::nullopt;
    std::string path;
    path.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path.push_back(rest[i]);
            continue;
        }
        if (i + 2 >= rest.size())
            return std::nullopt;
        const int high = HexDigitValue(rest[i + 1]);
        const int low = HexDigitValue(rest[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        path.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return path;
}

} // namespace Velto::Widget::Kit
