#include "webapp/trash/trash_info.h"

#include "server/http/percent_coding.h"

#include <cstdio>
#include <ctime>

namespace Velto::Corvane {

namespace {
constexpr std::size_t kDateTextSize = 80; // room for any int the fields could hold
} // namespace

std::string TrashRecordPath(std::string_view originalPath, std::string_view topdir) {
    if (topdir.empty())
        return std::string(originalPath);
    if (topdir == "/")
        return std::string(originalPath.substr(1));
    if (originalPath.size() > topdir.size() + 1 && originalPath.starts_with(topdir) &&
        originalPath[topdir.size()] == '/')
        return std::string(originalPath.substr(topdir.size() + 1));
    return std::string(originalPath);
}

std::string TrashInfoText(std::string_view recordPath, FileTime deletionTime) {
    const std::time_t seconds = static_cast<std::time_t>(UnixSecondsFromFileTime(deletionTime));
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        ::gmtime_r(&seconds, &local);
    char date[kDateTextSize];
    std::snprintf(date, sizeof date, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string text = "[Trash Info]\nPath=";
    text += PercentEncode(recordPath, false);
    text += "\nDeletionDate=";
    text += date;
    text += '\n';
    return text;
}

} // namespace Velto::Corvane
