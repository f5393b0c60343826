#include "webapp/links/link_rights.h"

namespace Velto::Corvane {

AccessFlags CreatorRights(const Config& config, const Share& share, std::u16string_view creator) {
    if (creator.empty()) {
        const AccessFlags all = AccessFlags::Read | AccessFlags::Write | AccessFlags::Delete;
        return share.readOnly || share.file ? AccessFlags::Read : all;
    }
    const Account* account = config.FindAccount(creator);
    if (account == nullptr)
        return AccessFlags::None;
    return share.EffectiveAccess(account, false);
}

LinkGrant GrantOf(const Config& config, const ShareLink& link, std::int64_t nowSeconds) {
    if (link.ExpiredAt(nowSeconds))
        return {};
    const Share* share = config.FindShareById(link.shareId);
    if (share == nullptr)
        return {};
    const AccessFlags creator = CreatorRights(config, *share, link.creator);
    const AccessFlags needed =
        link.mode == LinkMode::Upload ? AccessFlags::Write : AccessFlags::Read;
    if (!HasAccess(creator, needed))
        return {};
    return {share, needed};
}

} // namespace Velto::Corvane
