#include "app/desktop/shares/share_dialog.h"

#include "app/desktop/form_dialog.h"
#include "app/desktop/shares/share_dialog_content.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/pickers.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr std::u16string_view kAllFilesPattern = u"*.*";

Kit::PickerOwner OwnerOf(const Dialog& dialog) {
    Kit::PickerOwner owner;
    owner.x11Window = dialog.XWindow();
    owner.runUntil = [](const std::function<bool()>& done) {
        Application::Instance().RunUntil(done);
    };
    return owner;
}

} // namespace

bool EditShareDialog(Window* owner, const Velto::Corvane::Config& config,
                     Velto::Corvane::Share& share, bool isNew, UiLanguage language) {
    Dialog dialog{kEditDialogWidth};
    ShareDialogContent::Pickers pickers;
    pickers.folder = [&dialog](const std::u16string& title, const std::string& initial) {
        return Kit::PickFolder(OwnerOf(dialog), title, initial);
    };
    pickers.file = [&dialog](const std::u16string& title, const std::u16string& description) {
        const Kit::FileFilter filters[] = {{description, std::u16string{kAllFilesPattern}}};
        return Kit::PickFile(OwnerOf(dialog), title, filters);
    };
    ShareDialogContent form{config, share, isNew, language, std::move(pickers)};
    if (!RunFormDialog(owner, form, dialog, language))
        return false;
    share = form.Result();
    return true;
}

} // namespace App
