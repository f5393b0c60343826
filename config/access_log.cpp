#include "config/access_log.h"

#include "base/file_util.h"
#include "base/utf.h"
#include "config/log_text_escape.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <system_error>

namespace Velto::Corvane {
namespace {

// 30 days in 100-nanosecond units.
constexpr FileTime kRetention = 25920000000000ULL;
constexpr std::string_view kFilePrefix = "access-";
constexpr std::string_view kFileSuffix = ".log";
constexpr std::string_view kLineEnd = "\r\n";
constexpr mode_t kLogsFolderMode = 0700;
constexpr std::size_t kDateTextSize = 32;
// How often a long run looks at the system time zone again; between two
// looks, local times come from the zone already loaded.
constexpr std::uint64_t kZoneCheckIntervalMs = 60'000;
// Room for the fixed fields of a line besides the text fields.
constexpr std::size_t kLineReserve = 64;

// The calendar fields of the local time; UTC when the conversion fails.
std::tm LocalCalendar(FileTime time) {
    const time_t seconds = static_cast<time_t>(UnixSecondsFromFileTime(time));
    std::tm fields{};
    if (!::localtime_r(&seconds, &fields))
        ::gmtime_r(&seconds, &fields);
    return fields;
}

std::string FileNameFor(const std::tm& t) {
    char name[kDateTextSize];
    std::snprintf(name, sizeof name, "access-%04u%02u%02u.log",
                  static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday));
    return name;
}

std::string LineFor(const AccessLogEntry& entry, const std::tm& t) {
    char stamp[kDateTextSize];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u",
                  static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
                  static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec));
    const std::string user = Utf16ToUtf8(entry.user);
    const std::string detail = Utf16ToUtf8(entry.detail);
    std::string line;
    line.reserve(kLineReserve + entry.address.size() + user.size() + entry.action.size() +
                 detail.size());
    line = stamp;
    line.push_back('\t');
    AppendLogText(line, entry.address);
    line.push_back('\t');
    AppendLogText(line, user);
    line.push_back('\t');
    AppendLogText(line, entry.action);
    line.push_back('\t');
    AppendLogText(line, detail);
    line.push_back('\t');
    line += std::to_string(entry.result);
    line.push_back('\t');
    line += std::to_string(entry.size);
    return line;
}

} // namespace

std::string AccessLogFileName(FileTime time) {
    return FileNameFor(LocalCalendar(time));
}

std::string FormatAccessLogLine(const AccessLogEntry& entry) {
    return LineFor(entry, LocalCalendar(entry.time));
}

AccessLog::AccessLog(std::string logsFolder) : m_logsFolder(std::move(logsFolder)) {}

AccessLog::~AccessLog() {
    if (m_writer.joinable()) {
        m_writer.request_stop();
        m_writer.join();
    }
    Flush();
}

void AccessLog::Append(AccessLogEntry entry) {
    if (entry.time == 0)
        entry.time = NowFileTime();
    if (!m_logsFolder.empty())
        QueueForDailyFile(entry);
    Observer observer;
    std::optional<AccessLogEntry> copy;
    {
        std::lock_guard lock(m_mutex);
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

// The line is formatted by the appending thread and only queued here; the
// disk is left to the writer, so a slow disk holds up no request.
void AccessLog::QueueForDailyFile(const AccessLogEntry& entry) {
    RefreshTimeZone();
    const std::tm local = LocalCalendar(entry.time);
    std::string line = LineFor(entry, local);
    line += kLineEnd;
    std::string path = m_logsFolder;
    path.push_back('/');
    path += FileNameFor(local);

    const std::size_t lineBytes = line.size();
    bool writeNow = false;
    bool first = false;
    {
        std::lock_guard lock(m_pendingMutex);
        first = m_pending.empty();
        if (first || m_pending.back().path != path)
            m_pending.push_back({std::move(path), std::move(line)});
        else
            m_pending.back().bytes += line;
        m_pendingBytes += lineBytes;
        if (!m_writerTried) {
            m_writerTried = true;
            try {
                m_writer = std::jthread([this](std::stop_token stop) { RunWriter(stop); });
            } catch (const std::system_error&) {
                // Without a writer each appender writes its own line.
            }
        }
        writeNow = !m_writer.joinable() || m_pendingBytes >= kFlushBytes;
    }
    // A burst past the bound is written by the appender that crossed it, so
    // waiting lines never take more than about kFlushBytes of memory.
    if (writeNow)
        Flush();
    else if (first)
        m_writerWake.notify_one();
}

// Sleeps while nothing waits; once a line comes, gathers for the flush
// interval and writes all that came meanwhile in one go.
void AccessLog::RunWriter(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(m_pendingMutex);
            if (!m_writerWake.wait(lock, stop, [this] { return !m_pending.empty(); }))
                return; // destruction writes what is left
            m_writerWake.wait_for(lock, stop, kFlushInterval, [] { return false; });
        }
        Flush();
    }
}

void AccessLog::Flush() {
    const std::lock_guard write(m_writeMutex);
    std::vector<PendingLines> batch;
    {
        const std::lock_guard lock(m_pendingMutex);
        batch.swap(m_pending);
        m_pendingBytes = 0;
    }
    for (const PendingLines& lines : batch)
        WriteToFile(lines.path, lines.bytes);
}

// Failures are ignored: the entries still reach the list.
void AccessLog::WriteToFile(const std::string& path, std::string_view bytes) {
    if (m_file.Append(path, bytes) != AppendOnlyFile::Outcome::MissingFolder)
        return;
    // The folder was removed while running (or never made): make it again.
    if (Succeeded(CreateDirectories(m_logsFolder, kLogsFolderMode)))
        m_file.Append(path, bytes);
}

// Picks up a changed system time zone now and then, not on every record:
// looking costs a stat of the zone file.
void AccessLog::RefreshTimeZone() {
    const std::uint64_t now = TickCount64();
    std::uint64_t next = m_nextZoneCheck.load(std::memory_order_relaxed);
    if (now < next)
        return;
    if (!m_nextZoneCheck.compare_exchange_strong(next, now + kZoneCheckIntervalMs,
                                                 std::memory_order_relaxed))
        return;
    ::tzset();
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
