#include "app/desktop/accounts/account_dialog.h"

#include "app/desktop/accounts/account_dialog_content.h"
#include "app/desktop/form_dialog.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

bool EditAccountDialog(Window* owner, const Velto::Corvane::Config& config,
                       Velto::Corvane::Account& account, bool isNew, UiLanguage language) {
    Dialog dialog{kEditDialogWidth};
    AccountDialogContent form{config, account, isNew, language};
    if (!RunFormDialog(owner, form, dialog, language))
        return false;
    account = form.Result();
    return true;
}

} // namespace App
