#pragma once

#include "base/clock.h"

#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Reads an HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT"), as WebDAV clients
// send modification times; none when it does not read as one.
std::optional<FileTime> ParseHttpDate(std::string_view text);

// "1994-11-06T08:49:37Z", the form of a creation date.
std::string Iso8601Date(FileTime time);

} // namespace Velto::Corvane
