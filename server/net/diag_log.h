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
    void AddSink(LogSink sink);

    void Log(LogLevel level, std::u16string_view tag, std::u16string_view message);

private:
    DiagLog() = default;

    mutable std::mutex m_mutex; // guards m_threshold and m_sinks
    LogLevel m_threshold{LogLevel::Info};
    std::vector<LogSink> m_sinks;
};

// Logs "<what> failed: 0x%08X (<system text>)" at Error level under tag "Net".
void LogFailure(const char* what, Result code);

} // namespace Velto::Net
