#pragma once

#include <string>
#include <string_view>

namespace App {

// The system's release as usage reports name it, from os-release content:
// NAME and VERSION_ID joined by a space ("Debian GNU/Linux 12"), else
// PRETTY_NAME, else NAME; empty when none is there. Values may be quoted as a
// shell would read them.
std::string OsVersionFromOsRelease(std::string_view content);

// OsVersionFromOsRelease of /etc/os-release, or of /usr/lib/os-release when
// the first is missing.
std::string SystemOsVersion();

} // namespace App
