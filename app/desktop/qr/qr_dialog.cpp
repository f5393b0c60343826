#include "app/desktop/qr/qr_dialog.h"

#include "app/desktop/qr/qr_dialog_content.h"
#include "app/texts/text_table.h"
#include "widget/controls/button.h"
#include "widget/core/stack.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

void ShowQrDialog(Window* owner, const std::u16string& address, UiLanguage language) {
    Dialog dialog{kQrDialogWidth};
    dialog.Content().AddChild(BuildQrDialogContent(address, language));
    dialog.AddButton(std::make_unique<Button>(Text(TextId::Close, language)), Dialog::kClosedResult,
                     true, true);
    dialog.ShowModal(owner, Text(TextId::QrCode, language));
}

} // namespace App
