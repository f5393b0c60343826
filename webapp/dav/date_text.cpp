#include "webapp/dav/date_text.h"

#include "base/ascii_case.h"
#include "base/ascii_text.h"

#include <charconv>
#include <ctime>

namespace Velto::Corvane {

namespace {

constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};

bool ReadNumber(std::string_view text, int& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<FileTime> ParseHttpDate(std::string_view text) {
    text = TrimSpaceTab(text);
    // "Sun, 06 Nov 1994 08:49:37 GMT": the weekday is not checked.
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    text = TrimSpaceTab(text.substr(comma + 1));
    if (text.size() != 24 || text[2] != ' ' || text[6] != ' ' || text[11] != ' ' ||
        text[14] != ':' || text[17] != ':' || text.substr(20) != " GMT")
        return std::nullopt;
    tm parts{};
    int month = -1;
    for (int i = 0; i < 12; ++i) {
        if (AsciiEqualsIgnoreCase(text.substr(3, 3), kMonths[i]))
            month = i;
    }
    if (month < 0 || !ReadNumber(text.substr(0, 2), parts.tm_mday) ||
        !ReadNumber(text.substr(7, 4), parts.tm_year) ||
        !ReadNumber(text.substr(12, 2), parts.tm_hour) ||
        !ReadNumber(text.substr(15, 2), parts.tm_min) ||
        !ReadNumber(text.substr(18, 2), parts.tm_sec))
        return std::nullopt;
    if (parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 ||
        parts.tm_sec > 60 || parts.tm_year < 1601)
        return std::nullopt;
    parts.tm_mon = month;
    parts.tm_year -= 1900;
    const time_t seconds = ::timegm(&parts);
    return FileTimeFromUnix(seconds, 0);
}

std::string Iso8601Date(FileTime time) {
    const time_t seconds = UnixSecondsFromFileTime(time);
    tm parts{};
    if (::gmtime_r(&seconds, &parts) == nullptr)
        return {};
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return std::string(text, length);
}

} // namespace Velto::Corvane
