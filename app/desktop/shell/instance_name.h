#pragma once

#include "app/run/environment_settings.h"

#include <string>
#include <string_view>

namespace App {

inline constexpr std::string_view kInstanceBaseName = "VeltoUtility.VeltoCorvane";

// The name that lets only one copy run per user session: the base name, and
// "." + VELTO_CORVANE_INSTANCE when that is set, so that independent copies
// can run side by side.
std::string InstanceName(const EnvironmentSettings& settings);

} // namespace App
