#include "webapp/zip/dos_date_time.h"

#include <ctime>

namespace Velto::Corvane {

namespace {

constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = 2107;

} // namespace

DosDateTime ToDosDateTime(FileTime lastWrite) {
    const std::time_t seconds = static_cast<std::time_t>(UnixSecondsFromFileTime(lastWrite));
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return {};
    const int year = local.tm_year + 1900;
    if (year < kDosFirstYear)
        return {};
    const int storedYear = year > kDosLastYear ? kDosLastYear : year;
    DosDateTime result;
    result.time =
        static_cast<std::uint16_t>(local.tm_hour * 2048 + local.tm_min * 32 + local.tm_sec / 2);
    result.date = static_cast<std::uint16_t>((storedYear - kDosFirstYear) * 512 +
                                             (local.tm_mon + 1) * 32 + local.tm_mday);
    return result;
}

} // namespace Velto::Corvane
