#include "app/desktop/qr/qr_dialog_content.h"

#include "app/desktop/qr/qr_view.h"
#include "app/desktop/window_cards.h"
#include "app/texts/text_table.h"
#include "widget/core/stack.h"

namespace App {

using namespace Velto::Widget;

std::unique_ptr<Widget> BuildQrDialogContent(const std::u16string& address, UiLanguage language) {
    auto stack = std::make_unique<Stack>(Orientation::Vertical, 12);
    auto code = stack->Add(std::make_unique<QrView>(kQrCodeSize));
    code->SetText(address);
    code->SetHorizontalAlignment(Alignment::Center);
    auto shown = stack->Add(MakeLabel(address));
    shown->SetBold(true);
    shown->SetTrimming(true);
    shown->SetHorizontalAlignment(Alignment::Center);
    auto hint = stack->Add(
        MakeLabel(Text(TextId::ScanWithPhone, language), TextStyle::Caption, Tone::Secondary));
    hint->SetWrap(true);
    hint->SetAlignment(TextAlignment::Center);
    return stack;
}

} // namespace App
