#pragma once

#include "config/share_link.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Velto::Corvane {

// The links of one configuration by the digest of their token.
class LinkIndex {
public:
    LinkIndex() = default;
    explicit LinkIndex(const std::vector<ShareLink>& links);

    // The id of the link `token` opens; empty when none does. Only
    // well-formed tokens are looked up.
    std::string Find(std::string_view token) const;

private:
    std::unordered_map<std::string, std::string> m_ids; // token digest -> link id
};

} // namespace Velto::Corvane
