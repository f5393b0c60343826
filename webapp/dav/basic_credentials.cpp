#include "webapp/dav/basic_credentials.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"
#include "base/utf.h"

namespace Velto::Corvane {

namespace {

// Longer credentials than any sign-in form takes are refused unread.
constexpr std::size_t kMaxEncodedBytes = 4'096;

int Base64Value(char c) {
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

std::optional<std::string> DecodeBase64(std::string_view text) {
    while (text.ends_with('='))
        text.remove_suffix(1);
    if (text.size() % 4 == 1)
        return std::nullopt;
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const int value = Base64Value(c);
        if (value < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

} // namespace

std::optional<BasicCredentials> ParseBasicAuthorization(std::string_view header) {
    const std::string_view value = TrimSpaceTab(header);
    constexpr std::string_view kScheme = "basic ";
    if (value.size() <= kScheme.size() || value.size() > kMaxEncodedBytes ||
        !AsciiEqualsIgnoreCase(value.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    const std::optional<std::string> decoded =
        DecodeBase64(TrimSpaceTab(value.substr(kScheme.size())));
    if (!decoded)
        return std::nullopt;
    const std::size_t colon = decoded->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    BasicCredentials credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
    if (!IsValidUtf8(credentials.name) || !IsValidUtf8(credentials.password))
        return std::nullopt;
    return credentials;
}

} // namespace Velto::Corvane
