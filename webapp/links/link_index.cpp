#include "webapp/links/link_index.h"

#include "webapp/links/token_digest.h"

namespace Velto::Corvane {

LinkIndex::LinkIndex(const std::vector<ShareLink>& links) {
    for (const ShareLink& link : links) {
        std::string digest = TokenDigest(link.token);
        if (!digest.empty())
            m_ids.insert_or_assign(std::move(digest), link.id);
    }
}

std::string LinkIndex::Find(std::string_view token) const {
    if (!IsWellFormedLinkToken(token))
        return {};
    const std::string digest = TokenDigest(token);
    if (digest.empty())
        return {};
    const auto found = m_ids.find(digest);
    return found != m_ids.end() ? found->second : std::string{};
}

} // namespace Velto::Corvane
