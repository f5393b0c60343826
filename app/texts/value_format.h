#pragma once

#include "base/clock.h"

#include <cstdint>
#include <string>

namespace App {

// A byte count for people: below 1024 the number and " B"; otherwise in KB,
// MB, GB or TB (larger values stay in TB), with one decimal below 100 and
// none from 100 on: 1536 gives "1.5 KB", 123456789 "118 MB". The same text
// whatever the process locale.
std::string FormatSize(std::uint64_t bytes);

// A file time as local "YYYY-MM-DD hh:mm:ss"; empty when it cannot be
// converted.
std::string FormatLocalFileTime(Velto::FileTime fileTime);

// Eight upper-case hexadecimal digits, as error codes are shown.
std::string FormatHex32(std::uint32_t code);

} // namespace App
