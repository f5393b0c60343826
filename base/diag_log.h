#pragma once

#include "base/result.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Net {

enum class LogLevel : int { Debug = 0, Info = 1, Warning = 2, Error = 3 };

struct LogRecord {
    LogLevel level{LogLevel::Info};
    std::u16string tag;
    std::u16string message;
    std::tm localTime{};
    int milliseconds{0};
    std::uint64_t threadId{0};
};

using LogSink = std::function<void(const LogRecord&)>;

// Process-wide diagnostic log of the connection and TLS layers. It starts with
// no sink: records are built and dropped until someone registers one.
class DiagLog {
public:
    static DiagLog& Instance();

    void SetThreshold(LogLevel level);
    LogLevel Threshold() const;
    // Sinks receive records in registration order, one at a time, with the log's
    // mutex held. The returned id removes the sink again.
    int AddSink(LogSink sink);
    void RemoveSink(int id);

    void Log(LogLevel level, std::u16string_view tag, std::u16string_view message);
    // Same, with a UTF-8 message (converted only when the record is kept).
    void Log(LogLevel level, std::u16string_view tag, std::string_view utf8Message);

private:
    DiagLog() = default;

    struct SinkEntry {
        int id{0};
        LogSink sink;
    };

    mutable std::mutex m_mutex; // guards m_threshold, m_sinks and m_nextSinkId
    LogLevel m_threshold{LogLevel::Info};
    std::vector<SinkEntry> m_sinks;
    int m_nextSinkId{1};
};

// Logs "<what> failed: 0x%08X (<system text>)" at Error level under tag "Net".
void LogFailure(const char* what, Result code);

} // namespace Velto::Net
