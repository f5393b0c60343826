#pragma once

#include "config/config.h"

#include <string_view>

namespace App {

// Adds the link unless one with its id is there already (a change may meet a
// configuration that holds it); false when the share it points into is gone.
bool AddLink(Velto::Corvane::Config& config, const Velto::Corvane::ShareLink& link);

// Removes the link; false when it is gone already.
bool RevokeLink(Velto::Corvane::Config& config, std::string_view id);

} // namespace App
