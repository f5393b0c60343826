#include "webapp/dav/basic_credentials.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"
#include "base/base64.h"
#include "base/utf.h"

namespace Velto::Corvane {

namespace {

// Longer credentials than any sign-in form takes are refused unread.
constexpr std::size_t kMaxEncodedBytes = 4'096;

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
