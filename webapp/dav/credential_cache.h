#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Credentials that passed a password check, remembered for a few minutes so
// that the hundreds of requests of a WebDAV client do not each pay for the
// password hash. Entries are found by an HMAC of the name, the password and
// the scope under a key made for this process, so neither the password nor
// a plain hash of it is ever kept. An entry also records the stored password
// hash it was checked against: when that changes, the entry no longer counts.
class CredentialCache {
public:
    static constexpr std::uint64_t kLifetimeMs = 300'000;
    static constexpr std::size_t kMaxEntries = 1'024;
    static constexpr std::size_t kKeyBytes = 32;

    struct Entry {
        std::string verifiedHash; // the stored password hash that matched
        std::uint64_t expiresAt{0};
    };

    // A fresh random key. Without one nothing is remembered and every
    // request pays for its password check.
    CredentialCache();
    CredentialCache(const CredentialCache&) = delete;
    CredentialCache& operator=(const CredentialCache&) = delete;

    // `scope` tells apart what the password was checked against (an account,
    // or one share's password).
    std::string Fingerprint(std::string_view name, std::string_view password,
                            std::string_view scope) const;
    // True when the fingerprint was remembered, is still fresh, and was
    // checked against `currentHash`.
    bool Holds(const std::string& fingerprint, std::string_view currentHash, std::uint64_t now);
    void Remember(const std::string& fingerprint, std::string verifiedHash, std::uint64_t now);

private:
    std::array<unsigned char, kKeyBytes> m_key{};
    bool m_keyed{false};
    std::mutex m_mutex; // guards m_entries
    std::map<std::string, Entry, std::less<>> m_entries;
};

} // namespace Velto::Corvane
