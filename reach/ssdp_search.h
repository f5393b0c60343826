#pragma once

#include <stop_token>
#include <string>
#include <vector>

namespace Velto::Corvane {

// Multicasts the three gateway searches (TTL 2) and collects the distinct
// locations announced within 2.5 seconds, in order of arrival, at most 8.
// Returns early, with what it has, when `cancel` is requested.
std::vector<std::string> SearchGatewayLocations(std::stop_token cancel = {});

} // namespace Velto::Corvane
