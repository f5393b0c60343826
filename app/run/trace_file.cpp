#include "app/run/trace_file.h"

#include "app/run/environment_settings.h"
#include "base/file_util.h"
#include "base/interrupt_retry.h"
#include "base/unique_fd.h"
#include "base/utf.h"

#include <fcntl.h>

#include <mutex>

namespace App {
namespace {

// Traces name paths and addresses: only this user may read them.
constexpr mode_t kTraceFileMode = 0600;

std::mutex& TraceLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

void AppendTraceLine(const std::string& path, std::string_view text) {
    if (path.empty())
        return;
    std::string line{text};
    line += '\n';
    const std::lock_guard guard{TraceLock()};
    const Velto::UniqueFd fd{Velto::RetryOnInterrupt([&] {
        return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY,
                      kTraceFileMode);
    })};
    if (!fd)
        return;
    (void)Velto::WriteAll(fd.Get(), line);
}

void Trace(std::string_view text) {
    AppendTraceLine(GetEnvironmentSettings().traceFile, text);
}

void Trace(std::u16string_view text) {
    const std::string& path = GetEnvironmentSettings().traceFile;
    if (!path.empty())
        AppendTraceLine(path, Velto::Utf16ToUtf8(text));
}

} // namespace App
