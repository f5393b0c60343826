#include "config/share_link.h"

#include "base/system_random.h"

#include <algorithm>
#include <array>

namespace Velto::Corvane {
namespace {

constexpr std::string_view kBase64Url =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t kTokenLength = (ShareLink::kTokenBytes * 8 + 5) / 6; // unpadded

constexpr std::int64_t kHour = 3'600;
constexpr std::int64_t kDay = 24 * kHour;

// Unpadded base64url of `bytes`.
std::string Base64Url(const unsigned char* bytes, std::size_t size) {
    std::string out;
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = 0; i < size; ++i) {
        bits = (bits << 8) | bytes[i];
        held += 8;
        while (held >= 6) {
            held -= 6;
            out.push_back(kBase64Url[(bits >> held) & 63u]);
        }
    }
    if (held > 0)
        out.push_back(kBase64Url[(bits << (6 - held)) & 63u]);
    return out;
}

} // namespace

std::optional<std::int64_t> LifetimeSeconds(LinkLifetime lifetime) {
    switch (lifetime) {
    case LinkLifetime::Hour:
        return kHour;
    case LinkLifetime::Day:
        return kDay;
    case LinkLifetime::Week:
        return 7 * kDay;
    case LinkLifetime::Month:
        return 30 * kDay;
    case LinkLifetime::Never:
        break;
    }
    return std::nullopt;
}

std::optional<ShareLink> NewShareLink(std::string shareId, std::u16string path,
                                      LinkLifetime lifetime, std::int64_t now) {
    std::array<unsigned char, ShareLink::kTokenBytes> secret{};
    ShareLink link;
    link.id = RandomHex(ShareLink::kIdBytes);
    if (link.id.empty() || !FillRandom(secret.data(), secret.size()))
        return std::nullopt;
    link.token = Base64Url(secret.data(), secret.size());
    link.shareId = std::move(shareId);
    link.path = std::move(path);
    link.created = now;
    const std::optional<std::int64_t> lasts = LifetimeSeconds(lifetime);
    link.expires = lasts ? now + *lasts : 0;
    return link;
}

bool IsWellFormedLinkToken(std::string_view token) {
    return token.size() == kTokenLength &&
           std::all_of(token.begin(), token.end(),
                       [](char c) { return kBase64Url.find(c) != std::string_view::npos; }) &&
           // The last character carries 2 bits of the secret and 4 zero bits.
           (kBase64Url.find(token.back()) & 15u) == 0;
}

} // namespace Velto::Corvane
