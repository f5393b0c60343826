#include "app/desktop/shares/share_dialog.h"

#include "app/desktop/form_dialog.h"
#include "app/desktop/shares/share_dialog_content.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

bool EditShareDialog(Window* owner, const Velto::Corvane::Config& config,
                     Velto::Corvane::Share& share, bool isNew, UiLanguage language) {
    Dialog dialog{kEditDialogWidth};
    ShareDialogContent form{config, share, isNew, language, DialogPickers(dialog)};
    if (!RunFormDialog(owner, form, dialog, language))
        return false;
    share = form.Result();
    return true;
}

} // namespace App
