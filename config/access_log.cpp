#include "config/access_log.h"

#include "base/file_util.h"
#include "base/utf.h"
#include "config/append_only_file.h"
#include "config/log_text_escape.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace Velto::Corvane {
namespace {

// 30 days in 100-nanosecond units.
constexpr FileTime kRetention = 25920000000000ULL;
constexpr std::string_view kFilePrefix = "access-";
constexpr std::string_view kFileSuffix = ".log";
constexpr std::string_view kLineEnd = "\r\n";
constexpr mode_t kLogsFolderMode = 0700;
constexpr std::size_t kDateTextSize = 32;

// The calendar fields of the local time; UTC when the conversion fails.
std::tm LocalCalendar(FileTime time) {
    const time_t seconds = static_cast<time_t>(UnixSecondsFromFileTime(time));
    std::tm fields{};
    if (!::localtime_r(&seconds, &fields))
        ::gmtime_r(&seconds, &fields);
    return fields;
}

} // namespace

std::string AccessLogFileName(FileTime time) {
    const std::tm t = LocalCalendar(time);
    char name[kDateTextSize];
    std::snprintf(name, sizeof name, "access-%04u%02u%02u.log",
                  static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday));
    return name;
}

std::string FormatAccessLogLine(const AccessLogEntry& entry) {
    const std::tm t = LocalCalendar(entry.time);
    char stamp[kDateTextSize];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u",
                  static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
                  static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec));
    std::string line = stamp;
    line.push_back('\t');
    AppendLogText(line, entry.address);
    line.push_back('\t');
    AppendLogText(line, Utf16ToUtf8(entry.user));
    line.push_back('\t');
    AppendLogText(line, entry.action);
    line.push_back('\t');
    AppendLogText(line, Utf16ToUtf8(entry.detail));
    line.push_back('\t');
    line += std::to_string(entry.result);
    line.push_back('\t');
    line += std::to_string(entry.size);
    return line;
}

AccessLog::AccessLog(std::string logsFolder) : m_logsFolder(std::move(logsFolder)) {}

void AccessLog::Append(AccessLogEntry entry) {
    if (entry.time == 0)
        entry.time = NowFileTime();
    Observer observer;
    std::optional<AccessLogEntry> copy;
    {
        std::lock_guard lock(m_mutex);
        if (!m_logsFolder.empty()) {
            // Pick up a changed system time zone before computing the local date.
            ::tzset();
            // Failures are ignored: the entry still reaches the list.
            CreateDirectories(m_logsFolder, kLogsFolderMode);
            std::string line = FormatAccessLogLine(entry);
            line += kLineEnd;
            AppendToFile(m_logsFolder + "/" + AccessLogFileName(entry.time), line);
        }
        if (m_observer) {
            observer = m_observer;
            copy = entry;
        }
        m_entries.push_back(std::move(entry));
        while (m_entries.size() > kMaxEntries)
            m_entries.pop_front();
    }
    if (observer)
        observer(*copy);
}

std::vector<AccessLogEntry> AccessLog::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return {m_entries.begin(), m_entries.end()};
}

void AccessLog::Clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

void AccessLog::SetOnAppend(Observer observer) {
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

void AccessLog::RemoveOldFiles() {
    if (m_logsFolder.empty())
        return;
    std::vector<DirectoryItem> items;
    if (Failed(ListDirectory(m_logsFolder, items)))
        return;
    const FileTime now = NowFileTime();
    for (const DirectoryItem& item : items) {
        if (item.isDirectory)
            continue;
        const std::string_view name = item.name;
        // Exact, case-sensitive: only our own daily files are swept.
        if (!name.starts_with(kFilePrefix) || !name.ends_with(kFileSuffix))
            continue;
        if (now > item.lastWriteTime && now - item.lastWriteTime > kRetention)
            ::unlink((m_logsFolder + "/" + item.name).c_str());
    }
}

} // namespace Velto::Corvane
