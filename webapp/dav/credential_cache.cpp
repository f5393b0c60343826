#include "webapp/dav/credential_cache.h"

#include "base/system_random.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>

namespace Velto::Corvane {

CredentialCache::CredentialCache() {
    m_keyed = FillRandom(m_key.data(), m_key.size());
}

std::string CredentialCache::Fingerprint(std::string_view name, std::string_view password,
                                         std::string_view scope) const {
    if (!m_keyed)
        return {};
    // Lengths go first, so no two different triples give the same input.
    std::string input = std::to_string(name.size()) + ":" + std::to_string(password.size()) + ":" +
                        std::to_string(scope.size()) + ":";
    input += name;
    input += password;
    input += scope;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), m_key.data(), static_cast<int>(m_key.size()),
             reinterpret_cast<const unsigned char*>(input.data()), input.size(), digest,
             &length) == nullptr)
        return {};
    OPENSSL_cleanse(input.data(), input.size());
    return std::string(reinterpret_cast<const char*>(digest), length);
}

bool CredentialCache::Holds(const std::string& fingerprint, std::string_view currentHash,
                            std::uint64_t now) {
    if (fingerprint.empty())
        return false;
    const std::lock_guard lock(m_mutex);
    const auto found = m_entries.find(fingerprint);
    if (found == m_entries.end())
        return false;
    if (found->second.expiresAt <= now || found->second.verifiedHash != currentHash) {
        m_entries.erase(found);
        return false;
    }
    return true;
}

void CredentialCache::Remember(const std::string& fingerprint, std::string verifiedHash,
                               std::uint64_t now) {
    if (fingerprint.empty())
        return;
    const std::lock_guard lock(m_mutex);
    if (m_entries.size() >= kMaxEntries) {
        std::erase_if(m_entries,
                      [now](const auto& entry) { return entry.second.expiresAt <= now; });
        if (m_entries.size() >= kMaxEntries) {
            const auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                                 [](const auto& a, const auto& b) {
                                                     return a.second.expiresAt < b.second.expiresAt;
                                                 });
            m_entries.erase(oldest);
        }
    }
    m_entries[fingerprint] = Entry{std::move(verifiedHash), now + kLifetimeMs};
}

} // namespace Velto::Corvane
