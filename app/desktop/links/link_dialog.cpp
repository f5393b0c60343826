#include "app/desktop/links/link_dialog.h"

#include "app/desktop/form_dialog.h"
#include "app/desktop/links/link_dialog_content.h"
#include "app/desktop/links/link_texts.h"
#include "app/texts/text_table.h"
#include "widget/controls/button.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

bool NewLinkDialog(Window* owner, const Velto::Corvane::Share& share, UiLanguage language,
                   const LinkKeeper& keep, const CopyText& copy) {
    Dialog dialog{kLinkDialogWidth};
    LinkDialogContent form{share, language, DialogPickers(dialog)};
    dialog.Content().AddChild(form.Build());

    auto ok =
        dialog.AddButton(std::make_unique<Button>(Text(TextId::Ok, language)), 0, true, false);
    ok->SetStyle(ButtonStyle::Accent);
    ok->SetAutomationId(u"link.ok");
    auto cancel = dialog.AddButton(std::make_unique<Button>(Text(TextId::Cancel, language)),
                                   kDialogCancelled, false, true);
    cancel->SetAutomationId(u"link.close");
    bool kept = false;
    ok->SetOnClick([&] {
        if (kept || !form.Confirm(LinkClockNow()) || !form.Result() || !keep)
            return;
        const std::optional<std::u16string> address = keep(*form.Result());
        if (!address) {
            dialog.EndDialog(kDialogCancelled);
            return;
        }
        kept = true;
        form.ShowMade(*address, copy);
        // The link exists now: the dialog only closes.
        ok->SetVisible(false);
        cancel->SetText(Text(TextId::Close, language));
        cancel->RequestFocus(true);
    });
    dialog.SetInitialFocus(form.FirstField());
    dialog.ShowModal(owner, form.Title());
    return kept;
}

void ShowLinkDialog(Window* owner, const std::u16string& title, const std::u16string& address,
                    UiLanguage language, const CopyText& copy) {
    Dialog dialog{kLinkDialogWidth};
    dialog.Content().AddChild(BuildLinkAddressView({}, address, language, copy));
    auto close = dialog.AddButton(std::make_unique<Button>(Text(TextId::Close, language)),
                                  Dialog::kClosedResult, true, true);
    close->SetAutomationId(u"link.close");
    dialog.ShowModal(owner, title);
}

} // namespace App
