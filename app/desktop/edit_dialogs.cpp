#include "app/desktop/edit_dialogs.h"

#include "app/desktop/account_dialog_form.h"
#include "app/desktop/qr_dialog_content.h"
#include "app/desktop/share_dialog_form.h"
#include "app/text_table.h"
#include "widget/controls/button.h"
#include "widget/controls/text_box.h"
#include "widget/core/stack.h"
#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/pickers.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr float kEditDialogWidth = 520;
constexpr std::int32_t kConfirmed = 1;
constexpr std::int32_t kCancelled = Dialog::kClosedResult;
constexpr std::u16string_view kAllFilesPattern = u"*.*";

Kit::PickerOwner OwnerOf(const Dialog& dialog) {
    Kit::PickerOwner owner;
    owner.x11Window = dialog.XWindow();
    owner.runUntil = [](const std::function<bool()>& done) {
        Application::Instance().RunUntil(done);
    };
    return owner;
}

// OK runs the form's checks and ends the dialog only when they pass; Cancel
// ends it at once.
template <typename Form>
bool RunFormDialog(Window* owner, Form& form, Dialog& dialog, UiLanguage language) {
    dialog.Content().AddChild(form.Build());
    auto ok =
        dialog.AddButton(std::make_unique<Button>(Text(TextId::Ok, language)), 0, true, false);
    ok->SetStyle(ButtonStyle::Accent);
    ok->SetOnClick([&form, &dialog] {
        if (form.Confirm())
            dialog.EndDialog(kConfirmed);
    });
    dialog.AddButton(std::make_unique<Button>(Text(TextId::Cancel, language)), kCancelled, false,
                     true);
    dialog.SetInitialFocus(form.NameBox());
    return dialog.ShowModal(owner, form.Title()) == kConfirmed;
}

} // namespace

bool EditShareDialog(Window* owner, const Velto::Corvane::Config& config,
                     Velto::Corvane::Share& share, bool isNew, UiLanguage language) {
    Dialog dialog{kEditDialogWidth};
    ShareDialogForm::Pickers pickers;
    pickers.folder = [&dialog](const std::u16string& title, const std::string& initial) {
        return Kit::PickFolder(OwnerOf(dialog), title, initial);
    };
    pickers.file = [&dialog](const std::u16string& title, const std::u16string& description) {
        const Kit::FileFilter filters[] = {{description, std::u16string{kAllFilesPattern}}};
        return Kit::PickFile(OwnerOf(dialog), title, filters);
    };
    ShareDialogForm form{config, share, isNew, language, std::move(pickers)};
    if (!RunFormDialog(owner, form, dialog, language))
        return false;
    share = form.Result();
    return true;
}

bool EditAccountDialog(Window* owner, const Velto::Corvane::Config& config,
                       Velto::Corvane::Account& account, bool isNew, UiLanguage language) {
    Dialog dialog{kEditDialogWidth};
    AccountDialogForm form{config, account, isNew, language};
    if (!RunFormDialog(owner, form, dialog, language))
        return false;
    account = form.Result();
    return true;
}

void ShowQrDialog(Window* owner, const std::u16string& address, UiLanguage language) {
    Dialog dialog{kQrDialogWidth};
    dialog.Content().AddChild(BuildQrDialogContent(address, language));
    dialog.AddButton(std::make_unique<Button>(Text(TextId::Close, language)), kCancelled, true,
                     true);
    dialog.ShowModal(owner, Text(TextId::QrCode, language));
}

} // namespace App
