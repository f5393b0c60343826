#pragma once

#include "config/config.h"

#include <cstdint>
#include <string_view>

namespace Velto::Corvane {

// What the creator of a link may do on `share` now: for an account, its
// rights there when signed in (none once the account is gone); for the
// owner of the computer (an empty name), everything the share allows.
AccessFlags CreatorRights(const Config& config, const Share& share, std::u16string_view creator);

// What a link grants at `nowSeconds` (seconds since 1970): its share and
// rights, or no share when it expired, its share is gone, or its creator can
// no longer do what its mode needs. A view link grants Read; an upload link
// grants Write alone, never Read.
struct LinkGrant {
    const Share* share{nullptr};
    AccessFlags rights{};
};
LinkGrant GrantOf(const Config& config, const ShareLink& link, std::int64_t nowSeconds);

} // namespace Velto::Corvane
