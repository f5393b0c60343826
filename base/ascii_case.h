#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace Velto {

// ASCII case folding for protocol and file-format text (header names, tokens,
// URI schemes, glob patterns, file types): only A-Z change; every other byte,
// UTF-8 included, stays as it is.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLowerCopy(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

inline bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

} // namespace Velto
