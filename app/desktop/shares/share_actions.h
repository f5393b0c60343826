#pragma once

#include "app/desktop/service_commands.h"
#include "app/texts/ui_language.h"
#include "config/config.h"

#include <functional>
#include <string>
#include <vector>

namespace App {

// Adding, editing and removing shares from the window: the dialogs and
// questions come from the window, every change goes to the service through
// ServiceCommands, and the window hears when the list must be refilled. The
// owner destroys it together with the commands, before any further posted
// task runs.
class ShareActions {
public:
    struct Hooks {
        // The share dialog; true when the user confirmed and the share was
        // updated.
        std::function<bool(const Velto::Corvane::Config& config, Velto::Corvane::Share& share,
                           bool isNew)>
            editShare;
        // A yes/no question; true for yes.
        std::function<bool(const std::u16string& title, const std::u16string& text)> ask;
        std::function<void(const std::u16string& text)> inform;
        std::function<void(const std::u16string& text)> showError;
        std::function<void(std::string_view feature)> report;
        std::function<void(std::string_view line)> trace;
        // Before the first dialog of dropped paths: shows the home page.
        std::function<void()> showHome;
        // After a change came back from the service: refills the list.
        std::function<void()> changed;
    };

    ShareActions(ServiceCommands& commands, UiLanguage language, Hooks hooks);

    // Shares dropped or picked paths, one dialog per folder or file; tells
    // the user when none of them can be shared.
    void SetLanguage(UiLanguage language) { m_language = language; }

    void AddPaths(const std::vector<std::string>& paths);
    void AddShare(std::u16string path, bool isFile);
    void EditShare(const std::string& id);
    void StopSharing(const std::string& id);

    // Hands a change to the service; tells the user when config.json could
    // not be saved.
    void Apply(ServiceCommands::Edit edit);

private:
    void Report(std::string_view feature) const;

    ServiceCommands& m_commands;
    UiLanguage m_language{UiLanguage::Korean};
    Hooks m_hooks;
};

} // namespace App
