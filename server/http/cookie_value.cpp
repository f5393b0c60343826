#include "server/http/cookie_value.h"

#include "base/ascii_text.h"

namespace Velto::Corvane {

std::string CookieValue(std::string_view header, std::string_view name) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t semicolon = header.find(';', start);
        const std::string_view part = TrimSpaceTab(
            header.substr(start, semicolon == std::string_view::npos ? std::string_view::npos
                                                                     : semicolon - start));
        const std::size_t equals = part.find('=');
        if (equals != std::string_view::npos && TrimSpaceTab(part.substr(0, equals)) == name)
            return std::string(TrimSpaceTab(part.substr(equals + 1)));
        if (semicolon == std::string_view::npos)
            return {};
        start = semicolon + 1;
    }
}

} // namespace Velto::Corvane
