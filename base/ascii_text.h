#pragma once

#include <string_view>

namespace Velto {

// `text` without leading and trailing spaces and horizontal tabs.
constexpr std::string_view TrimSpaceTab(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace Velto
