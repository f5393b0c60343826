#include "server/http/http_date.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

namespace Velto::Corvane {
namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// The calendar ends in year 30827 for file times; later values are not dates.
constexpr FileTime kMaxConvertible = 0x7FFFFFFFFFFFFFFFull;

} // namespace

std::string HttpDate(FileTime time) {
    if (time > kMaxConvertible)
        return {};
    const time_t seconds = static_cast<time_t>(UnixSecondsFromFileTime(time));
    std::tm utc{};
    if (!::gmtime_r(&seconds, &utc))
        return {};
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u GMT", kDayNames[utc.tm_wday],
                  static_cast<unsigned>(utc.tm_mday), kMonthNames[utc.tm_mon],
                  static_cast<unsigned>(utc.tm_year + 1900), static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    return text;
}

} // namespace Velto::Corvane
