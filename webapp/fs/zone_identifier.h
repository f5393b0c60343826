#pragma once

#include <string_view>

namespace Velto::Corvane {

// The marker of a file that came from the Internet, in the form other systems
// keep it: zone 3, the Internet zone.
constexpr std::string_view kZoneIdentifierAttribute = "user.Zone.Identifier";
constexpr std::string_view kZoneIdentifierInternet = "[ZoneTransfer]\r\nZoneId=3\r\n";

// Sets the marker on the open file. False when the file system refuses it
// (many do not keep user attributes); callers go on without it.
bool WriteZoneIdentifier(int fd);

} // namespace Velto::Corvane
