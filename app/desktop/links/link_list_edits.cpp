#include "app/desktop/links/link_list_edits.h"

namespace App {

using Velto::Corvane::Config;
using Velto::Corvane::ShareLink;

bool AddLink(Config& config, const ShareLink& link) {
    if (!config.FindShareById(link.shareId))
        return false;
    if (!config.FindLinkById(link.id))
        config.links.push_back(link);
    return true;
}

bool RevokeLink(Config& config, std::string_view id) {
    return std::erase_if(config.links, [id](const ShareLink& link) { return link.id == id; }) > 0;
}

} // namespace App
