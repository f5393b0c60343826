#include "base/diag_log.h"

#include "base/system_message.h"
#include "base/utf.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>

namespace Velto::Net {
namespace {

constexpr std::u16string_view kNetTag = u"Net";
constexpr int kHighestLevel = static_cast<int>(LogLevel::Error);

} // namespace

DiagLog& DiagLog::Instance() {
    // Built on first use and never destroyed, so threads still running while
    // the process exits can keep logging.
    static DiagLog* const instance = [] {
        static DiagLog log;
        return &log;
    }();
    return *instance;
}

void DiagLog::SetThreshold(LogLevel level) {
    const std::lock_guard lock(m_mutex);
    m_threshold = level;
}

LogLevel DiagLog::Threshold() const {
    const std::lock_guard lock(m_mutex);
    return m_threshold;
}

int DiagLog::AddSink(LogSink sink) {
    const std::lock_guard lock(m_mutex);
    const int id = m_nextSinkId++;
    m_sinks.push_back({id, std::move(sink)});
    return id;
}

void DiagLog::RemoveSink(int id) {
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_sinks, [id](const SinkEntry& entry) { return entry.id == id; });
}

void DiagLog::Log(LogLevel level, std::u16string_view tag, std::u16string_view message) {
    if (static_cast<int>(level) < static_cast<int>(Threshold()))
        return;

    LogRecord record{
        .level = level, .tag = std::u16string(tag), .message = std::u16string(message)};
    timeval now{};
    ::gettimeofday(&now, nullptr);
    const time_t seconds = now.tv_sec;
    ::localtime_r(&seconds, &record.localTime);
    record.milliseconds = static_cast<int>(now.tv_usec / 1000);
    record.threadId = static_cast<std::uint64_t>(::syscall(SYS_gettid));

    const std::lock_guard lock(m_mutex);
    for (const SinkEntry& entry : m_sinks)
        entry.sink(record);
}

void DiagLog::Log(LogLevel level, std::u16string_view tag, std::string_view utf8Message) {
    if (static_cast<int>(level) < static_cast<int>(Threshold()))
        return;
    Log(level, tag, Utf8ToUtf16(utf8Message));
}

void LogFailure(const char* what, Result code) {
    DiagLog& log = DiagLog::Instance();
    if (static_cast<int>(log.Threshold()) > kHighestLevel)
        return;

    std::string text = SystemMessageText(code);
    while (!text.empty()) {
        const char last = text.back();
        if (last != '\r' && last != '\n' && last != ' ' && last != '.')
            break;
        text.pop_back();
    }

    const char* const name = what ? what : "(unknown)";
    const unsigned value = static_cast<std::uint32_t>(code);
    std::string message;
    char codeText[16];
    std::snprintf(codeText, sizeof codeText, "0x%08X", value);
    message.append(name).append(" failed: ").append(codeText);
    if (!text.empty())
        message.append(" (").append(text).append(")");
    log.Log(LogLevel::Error, kNetTag, std::string_view(message));
}

} // namespace Velto::Net
