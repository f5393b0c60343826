#include "app/desktop/desktop_services.h"

#include "app/desktop/settings/autostart.h"
#include "app/desktop/shares/share_icon.h"
#include "app/desktop/shell/shell_actions.h"
#include "base/utf.h"

#include <filesystem>

namespace App {

void AddDesktopShellServices(WindowServices& services) {
    services.openAddress = [](std::u16string_view url) { OpenAddress(Velto::Utf16ToUtf8(url)); };
    services.openShareLocation = [](const Velto::Corvane::Share& share) {
        const std::string path = Velto::Utf16ToUtf8(share.path);
        if (share.file) {
            OpenFileLocation(path);
            return;
        }
        // Opening a folder creates it when missing, which a share whose
        // folder is gone must not do.
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            OpenFolder(path);
    };
    services.shareIcon = ShareIcon;
    services.openFolder = [](const std::string& folder) { return OpenFolder(folder); };
    services.isAutostartEnabled = [] { return IsAutostartEnabled(); };
    services.setAutostart = [](bool enable) { return SetAutostart(enable); };
}

} // namespace App
