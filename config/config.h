#pragma once

#include "config/share_link.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Corvane {

// Rights on a share. Always kept normalized: Write or Delete include Read.
enum class AccessFlags : std::uint32_t {
    None = 0,
    Read = 1,
    Write = 2,
    Delete = 4,
};

constexpr AccessFlags operator|(AccessFlags a, AccessFlags b) {
    return static_cast<AccessFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr AccessFlags operator&(AccessFlags a, AccessFlags b) {
    return static_cast<AccessFlags>(static_cast<std::uint32_t>(a) & static_cast<std::uint32_t>(b));
}
constexpr AccessFlags& operator|=(AccessFlags& a, AccessFlags b) {
    return a = a | b;
}
constexpr bool HasAccess(AccessFlags set, AccessFlags flag) {
    return (set & flag) == flag;
}

// Keeps the three known bits and adds Read whenever Write or Delete is present.
constexpr AccessFlags NormalizeAccess(AccessFlags flags) {
    const auto bits = static_cast<std::uint32_t>(flags) & 7u;
    return static_cast<AccessFlags>((bits & 6u) != 0 ? bits | 1u : bits);
}

enum class CertificateKind : std::int32_t {
    SelfSigned = 0,
    Pfx = 1,
};

struct Account;

struct Share {
    std::string id;      // 16 lower-case hex characters, fixed at creation
    std::u16string name; // unique among shares, ignoring case
    std::u16string path; // the folder, or the file when `file` is set
    bool readOnly{false};
    AccessFlags guest{AccessFlags::Read};
    std::string password;           // empty or a password hash
    std::int64_t maxUploadBytes{0}; // 0: no limit
    bool file{false};               // a single-file share, always read-only

    // What a visitor gets: the guest rights unless a share password is still
    // locked, plus the account's own rights; read-only shares grant Read at most.
    AccessFlags EffectiveAccess(const Account* account, bool unlocked) const;
};

struct Account {
    std::u16string name;                       // unique among accounts, ignoring case
    std::string password;                      // a password hash, never empty
    std::map<std::string, AccessFlags> access; // share id -> rights, ids of existing shares only
};

struct Config {
    std::uint16_t port{8080};
    bool https{false};
    CertificateKind certificate{CertificateKind::SelfSigned};
    std::u16string selfSignedThumbprint;
    std::u16string pfxPath;
    std::string pfxPassword; // the protected form, never the clear password
    bool upnp{true};
    bool showHidden{false};
    bool startServerOnLaunch{true};
    bool webdav{true};       // the shares are also served over WebDAV under /dav/
    std::u16string language; // "ko", "en" or empty (follow the system)
    std::u16string theme;    // "light", "dark" or empty (follow the system)
    std::vector<Share> shares;
    std::vector<Account> accounts;
    std::vector<ShareLink> links;

    const Share* FindShareById(std::string_view id) const;
    const Share* FindShareByName(std::u16string_view name) const;
    const Account* FindAccount(std::u16string_view name) const;
    Share* FindShareById(std::string_view id);
    Share* FindShareByName(std::u16string_view name);
    Account* FindAccount(std::u16string_view name);
    const ShareLink* FindLinkById(std::string_view id) const;
    ShareLink* FindLinkById(std::string_view id);
};

// The name rules shared by the loader and the editing dialogs.
// Share: 1-64 code units, no leading/trailing space or ".", no control
// characters, DEL or any of \ / : * ? " < > |.
bool IsValidShareName(std::u16string_view name);
// Account: 1-64 code units, no leading/trailing space, no control characters, DEL or ":".
bool IsValidAccountName(std::u16string_view name);

} // namespace Velto::Corvane
