#include "base/base64.h"

#include <cstdint>

namespace Velto {
namespace {

int Base64Digit(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int digits[4];
        int padding = 0;
        for (int j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == '=' && last && j >= 2) {
                digits[j] = 0;
                ++padding;
                continue;
            }
            if (padding != 0)
                return std::nullopt; // a digit after padding
            digits[j] = Base64Digit(c);
            if (digits[j] < 0)
                return std::nullopt;
        }
        const std::uint32_t group = (static_cast<std::uint32_t>(digits[0]) << 18) |
                                    (static_cast<std::uint32_t>(digits[1]) << 12) |
                                    (static_cast<std::uint32_t>(digits[2]) << 6) |
                                    static_cast<std::uint32_t>(digits[3]);
        // Bits below the last whole byte must be zero, so one text means one value.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
            return std::nullopt;
        out.push_back(static_cast<char>(group >> 16));
        if (padding < 2)
            out.push_back(static_cast<char>((group >> 8) & 0xFF));
        if (padding < 1)
            out.push_back(static_cast<char>(group & 0xFF));
    }
    return out;
}

} // namespace Velto
