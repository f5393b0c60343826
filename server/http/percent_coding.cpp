#include "server/http/percent_coding.h"

#include "base/hex_digit.h"

namespace Velto::Corvane {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::optional<std::string> Decode(std::string_view bytes, bool plusAsSpace, bool allowZero) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '+' && plusAsSpace) {
            out.push_back(' ');
            continue;
        }
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i + 2 >= bytes.size())
            return std::nullopt;
        const int high = HexDigitValue(bytes[i + 1]);
        const int low = HexDigitValue(bytes[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        const int value = high * 16 + low;
        if (value == 0 && !allowZero)
            return std::nullopt;
        out.push_back(static_cast<char>(value));
        i += 2;
    }
    return out;
}

} // namespace

std::string PercentEncode(std::string_view bytes, bool encodeSlash) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsUnreserved(byte) || (byte == '/' && !encodeSlash)) {
            out.push_back(c);
            continue;
        }
        out.push_back('%');
        out.push_back(kUpperHex[byte >> 4]);
        out.push_back(kUpperHex[byte & 0x0F]);
    }
    return out;
}

std::optional<std::string> PercentDecode(std::string_view bytes, bool plusAsSpace) {
    return Decode(bytes, plusAsSpace, false);
}

std::optional<std::string> FormDecode(std::string_view bytes) {
    return Decode(bytes, true, true);
}

} // namespace Velto::Corvane
