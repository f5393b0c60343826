#pragma once

#include "base/clock.h"
#include "config/append_only_file.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace Velto::Corvane {

// One thing a visitor did. Action names: "login", "loginFailed", "unlockFailed",
// "download", "upload", "newFolder", "rename", "delete", "zip".
struct AccessLogEntry {
    FileTime time{0};    // UTC; 0 means "now" and is filled in by Append
    std::string address; // the visitor's IP address
    std::u16string user; // the signed-in account; empty for a guest
    std::string action;
    std::u16string detail;
    std::int32_t result{0}; // the HTTP status of the outcome
    std::uint64_t size{0};  // bytes transferred where that applies
};

// The visitor log: every entry is appended as one line to a daily file
// "access-YYYYMMDD.log" (local date) in the logs folder and kept in memory
// (the latest 1000). Append may be called from any thread. File lines are
// gathered in memory and written together, by a writer thread of the log at
// most kFlushInterval after they came (sooner once kFlushBytes are waiting),
// so a busy server pays one write for many records rather than one each;
// Flush and destruction write whatever is waiting.
class AccessLog {
public:
    static constexpr std::size_t kMaxEntries = 1000;
    static constexpr std::chrono::milliseconds kFlushInterval{250};
    static constexpr std::size_t kFlushBytes = 65536;
    // Called after each append, on the appending thread and outside the log's
    // lock, so it may call back into the log.
    using Observer = std::function<void(const AccessLogEntry&)>;

    // An empty folder keeps entries in memory only.
    explicit AccessLog(std::string logsFolder);
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    void Append(AccessLogEntry entry);
    // Writes the lines still waiting in memory to their files now.
    void Flush();
    std::vector<AccessLogEntry> Snapshot() const;
    // Empties the in-memory list; the files keep their lines.
    void Clear();
    void SetOnAppend(Observer observer);
    // Deletes daily files last written more than 30 days ago.
    void RemoveOldFiles();

    const std::string& LogsFolder() const { return m_logsFolder; }

private:
    // Lines for one daily file, in the order they came.
    struct PendingLines {
        std::string path;
        std::string bytes;
    };

    void QueueForDailyFile(const AccessLogEntry& entry);
    void WriteToFile(const std::string& path, std::string_view bytes);
    void RunWriter(std::stop_token stop);
    void RefreshTimeZone();

    const std::string m_logsFolder;
    // The day's file, kept open; written only with m_writeMutex held.
    AppendOnlyFile m_file;
    // Held across taking the waiting lines and writing them, so batches reach
    // the files in the order their lines came. Taken before m_pendingMutex.
    std::mutex m_writeMutex;
    std::mutex m_pendingMutex; // guards m_pending, m_pendingBytes and m_writer's start
    std::vector<PendingLines> m_pending;
    std::size_t m_pendingBytes{0};
    std::condition_variable_any m_writerWake;
    // Started with the first line; without it (no thread could be had)
    // every line is written at once by its appender.
    std::jthread m_writer;
    bool m_writerTried{false};
    // When the system time zone is looked at again (TickCount64 milliseconds).
    std::atomic<std::uint64_t> m_nextZoneCheck{0};
    mutable std::mutex m_mutex; // guards m_entries and m_observer
    std::deque<AccessLogEntry> m_entries;
    Observer m_observer;
};

// The file line of an entry without its CR LF: seven tab-separated fields
// (local time, address, user, action, detail, result, size); the text fields
// go through AppendLogText (tabs, line feeds and carriage returns become
// spaces, controls and format characters visible escapes, at most
// kMaxLogFieldBytes each).
std::string FormatAccessLogLine(const AccessLogEntry& entry);

// "access-YYYYMMDD.log" for the local date of `time`.
std::string AccessLogFileName(FileTime time);

} // namespace Velto::Corvane
