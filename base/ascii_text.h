#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
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

// 1 to `maxDigits` decimal digits and nothing else (maxDigits <= 19 cannot overflow).
constexpr std::optional<std::uint64_t> ParseDecimal(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

} // namespace Velto
