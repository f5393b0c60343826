#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// What a link lets its visitors do with its target.
enum class LinkMode : std::int32_t {
    View = 0,   // browse and download (or view the file)
    Upload = 1, // a drop box: upload into the folder, never see its contents
};

// How long a new link lives.
enum class LinkLifetime : std::int32_t { Hour, Day, Week, Month, Never };

// A link to one folder or file inside a share, handed out as /s/<token>.
// It grants at most its mode, and never more than its creator may do with
// the target at the time of each use.
struct ShareLink {
    static constexpr std::size_t kIdBytes = 8;     // 16 hexadecimal characters
    static constexpr std::size_t kTokenBytes = 16; // 128 random bits
    static constexpr std::size_t kMaxLabelLength = 100;

    std::string id;      // 16 lower-case hex characters: the link in the API and the window
    std::string token;   // the secret part of the address: 22 base64url characters
    std::string shareId; // the share the target lies in
    std::u16string path; // the target inside the share, '/'-separated; empty: the share itself
    LinkMode mode{LinkMode::View};
    std::int64_t created{0}; // seconds since 1970
    std::int64_t expires{0}; // seconds since 1970; 0: never
    std::string password;    // empty or a password hash, as a share's
    std::u16string label;    // the creator's name for it; may be empty
    std::u16string creator;  // an account's name; empty: the owner of the computer
    std::uint64_t uses{0};   // visits so far

    bool ExpiredAt(std::int64_t now) const { return expires != 0 && now >= expires; }
};

// The seconds a lifetime lasts; none for Never.
std::optional<std::int64_t> LifetimeSeconds(LinkLifetime lifetime);

// A new link with a fresh id and token, created `now` (seconds since 1970),
// expiring after `lifetime`; none if the random generator fails. The caller
// fills in the rest (mode, password, label, creator).
std::optional<ShareLink> NewShareLink(std::string shareId, std::u16string path,
                                      LinkLifetime lifetime, std::int64_t now);

// The token as it must look: 22 base64url characters.
bool IsWellFormedLinkToken(std::string_view token);

} // namespace Velto::Corvane
