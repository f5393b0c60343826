#include "app/desktop/shell/shell_actions.h"

#include "app/desktop/shell/detached_process.h"
#include "app/desktop/shell/file_manager_show_items.h"
#include "app/run/trace_file.h"
#include "base/file_util.h"

#include <system_error>
#include <thread>

namespace App {
namespace {

constexpr const char* kOpener = "xdg-open";

bool OpenWithDesktop(std::string_view target) {
    if (target.empty())
        return false;
    // "--" would be an option to xdg-open; a leading "-" could only be one.
    std::string argument{target};
    if (argument.front() == '-')
        argument.insert(0, "./");
    return StartDetached({kOpener, argument});
}

} // namespace

ShellActions::ShellActions(const EnvironmentSettings& settings)
    : m_selfContained(settings.SelfContained()), m_traceFile(settings.traceFile) {}

bool ShellActions::OpenAddress(std::string_view url) const {
    if (m_selfContained) {
        AppendTraceLine(m_traceFile, "open address " + std::string{url});
        return true;
    }
    return OpenWithDesktop(url);
}

bool ShellActions::OpenFileLocation(std::string_view path) const {
    if (m_selfContained) {
        AppendTraceLine(m_traceFile, "open file location " + std::string{path});
        return true;
    }
    if (path.empty())
        return false;
    std::string item{path};
    try {
        std::thread{[item = std::move(item)] {
            if (!ShowItemInFileManager(item))
                OpenWithDesktop(Velto::ParentPath(item));
        }}.detach();
    } catch (const std::system_error&) {
        return false; // no thread could be made
    }
    return true;
}

bool ShellActions::OpenFolder(std::string_view path) const {
    if (m_selfContained) {
        AppendTraceLine(m_traceFile, "open folder " + std::string{path});
        return true;
    }
    const std::string folder{path};
    if (Velto::Failed(Velto::CreateDirectories(folder)))
        return false;
    return OpenWithDesktop(folder);
}

bool OpenAddress(std::string_view url) {
    return ShellActions{GetEnvironmentSettings()}.OpenAddress(url);
}

bool OpenFileLocation(std::string_view path) {
    return ShellActions{GetEnvironmentSettings()}.OpenFileLocation(path);
}

bool OpenFolder(std::string_view path) {
    return ShellActions{GetEnvironmentSettings()}.OpenFolder(path);
}

} // namespace App
