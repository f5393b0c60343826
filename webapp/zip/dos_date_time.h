#pragma once

#include "base/clock.h"

#include <cstdint>

namespace Velto::Corvane {

// A time as the ZIP format's 16-bit MS-DOS fields, in local time.
struct DosDateTime {
    std::uint16_t time{0};
    std::uint16_t date{0x21}; // 1 January 1980
};

// Local time of `lastWrite`: hour * 2048 + minute * 32 + second / 2 and
// (year - 1980) * 512 + month * 32 + day, with years after 2107 stored as
// 2107. Times before 1980, or that cannot be converted, give 1 January 1980
// at midnight.
DosDateTime ToDosDateTime(FileTime lastWrite);

} // namespace Velto::Corvane
