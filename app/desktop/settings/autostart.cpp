#include "app/desktop/settings/autostart.h"

#include "app/desktop/settings/executable_path.h"
#include "base/file_util.h"
#include "base/private_file.h"
#include "base/utf.h"
#include "config/data_folders.h"

#include <sys/stat.h>

namespace App {
namespace {

constexpr std::string_view kEntryFolder = "/autostart";
constexpr std::string_view kEntryName = "/VeltoCorvane.desktop";
constexpr std::string_view kMarkerName = "/autostart";
constexpr std::string_view kTrayOption = " --tray";
// An entry larger than this is not one of ours; it counts as present.
constexpr std::size_t kMaxEntryBytes = 65536;

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Inside a quoted argument of Exec these four stand for themselves only after
// a backslash.
bool NeedsQuoteEscape(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Whether the entry's main group says Hidden=true.
bool EntryIsHidden(std::string_view entry) {
    bool inMainGroup = false;
    while (!entry.empty()) {
        const std::size_t end = entry.find('\n');
        const std::string_view line = Trimmed(entry.substr(0, end));
        entry = end == std::string_view::npos ? std::string_view{} : entry.substr(end + 1);
        if (line.starts_with('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || !line.starts_with("Hidden"))
            continue;
        const std::string_view rest = Trimmed(line.substr(6));
        if (rest.starts_with('=') && Trimmed(rest.substr(1)) == "true")
            return true;
    }
    return false;
}

} // namespace

std::string AutostartCommand(std::string_view executable) {
    return "\"" + std::string{executable} + "\"" + std::string{kTrayOption};
}

std::optional<std::string> DesktopEntryExec(std::string_view executable) {
    if (!Velto::IsValidUtf8(executable))
        return std::nullopt;
    // First the quoting rule of Exec arguments, then the escaping of string
    // values, which doubles every backslash the first step wrote.
    std::string quoted = "\"";
    for (const char c : executable) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return std::nullopt;
        if (NeedsQuoteEscape(c))
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += '\\';
        value += c;
    }
    return value + std::string{kTrayOption};
}

Autostart::Autostart(const EnvironmentSettings& settings, std::string executable)
    : m_dataFolder(settings.dataFolder.empty() ? std::string{}
                                               : WithoutTrailingSlashes(settings.dataFolder)),
      m_executable(std::move(executable)) {}

std::string Autostart::EntryPath() const {
    if (!m_dataFolder.empty())
        return (m_dataFolder == "/" ? std::string{} : m_dataFolder) + std::string{kMarkerName};
    const std::string home = Velto::Corvane::ConfigHomeFolder();
    if (home.empty())
        return {};
    return (home == "/" ? std::string{} : home) + std::string{kEntryFolder} +
           std::string{kEntryName};
}

bool Autostart::IsEnabled() const {
    const std::string path = EntryPath();
    if (path.empty())
        return false;
    if (!m_dataFolder.empty())
        return Velto::FileExists(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    std::string entry;
    const Velto::Result read = Velto::ReadWholeFile(path, entry, kMaxEntryBytes);
    if (read == Velto::kFileTooLarge)
        return true;
    return Velto::Succeeded(read) && !EntryIsHidden(entry);
}

bool Autostart::Set(bool enable) const {
    const std::string path = EntryPath();
    if (path.empty())
        return false;
    if (!enable) {
        const Velto::Result removed = Velto::RemoveFile(path);
        return Velto::Succeeded(removed) || removed == Velto::kFileNotFound;
    }
    if (m_executable.empty())
        return false;
    if (!m_dataFolder.empty())
        return Velto::WritePrivateFileAtomically(path, AutostartCommand(m_executable));
    const std::optional<std::string> exec = DesktopEntryExec(m_executable);
    if (!exec)
        return false;
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=VeltoCorvane\n"
                              "Exec=" +
                              *exec +
                              "\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n";
    return Velto::WritePrivateFileAtomically(path, entry);
}

bool IsAutostartEnabled() {
    return Autostart{GetEnvironmentSettings(), ExecutablePath()}.IsEnabled();
}

bool SetAutostart(bool enable) {
    return Autostart{GetEnvironmentSettings(), ExecutablePath()}.Set(enable);
}

} // namespace App
