#include "widget/dialogs/message_dialog.h"

#include "widget/controls/button.h"
#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/window/dialog.h"
#include "widget/window/standard_labels.h"

namespace Velto::Widget::Kit {
namespace {

constexpr float kIconGlyphSize = 32;
constexpr float kColumnSpacing = 16;

} // namespace

std::vector<MessageButton> MessageButtonsOf(MessageButtons buttons, bool defaultSecond) {
    switch (buttons) {
    case MessageButtons::Ok:
        return {{kLabelOk, kMessageOk, true, true}};
    case MessageButtons::OkCancel:
        return {{kLabelOk, kMessageOk, !defaultSecond, false},
                {kLabelCancel, kMessageCancel, defaultSecond, true}};
    case MessageButtons::YesNo:
        return {{kLabelYes, kMessageYes, !defaultSecond, false},
                {kLabelNo, kMessageNo, defaultSecond, true}};
    case MessageButtons::YesNoCancel:
        return {{kLabelYes, kMessageYes, !defaultSecond, false},
                {kLabelNo, kMessageNo, defaultSecond, false},
                {kLabelCancel, kMessageCancel, false, true}};
    }
    return {{kLabelOk, kMessageOk, true, true}};
}

std::int32_t MessageResult(MessageButtons buttons, std::int32_t dialogResult) {
    if (dialogResult != kMessageCancel)
        return dialogResult;
    switch (buttons) {
    case MessageButtons::YesNo:
        return kMessageNo;
    case MessageButtons::Ok:
        return kMessageOk;
    default:
        return kMessageCancel;
    }
}

MessageGlyph MessageGlyphOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return {0xE946, Tone::Accent};
    case MessageIcon::Warning:
        return {0xE7BA, Tone::Caution};
    case MessageIcon::Error:
        return {0xEA39, Tone::Critical};
    case MessageIcon::Question:
        return {0xE897, Tone::Accent};
    case MessageIcon::None:
        break;
    }
    return {};
}

std::unique_ptr<Widget> BuildMessageContent(std::u16string text, MessageIcon icon) {
    auto grid = std::make_unique<Grid>();
    grid->AddColumn(GridLength::Auto());
    grid->AddColumn(GridLength::Star(1));
    grid->SetSpacing(0, kColumnSpacing);
    const MessageGlyph glyph = MessageGlyphOf(icon);
    if (glyph.glyph != 0) {
        auto* mark =
            grid->AddAt(std::make_unique<Icon>(glyph.glyph, kIconGlyphSize, glyph.tone), 0, 0);
        mark->SetVerticalAlignment(Alignment::Start);
    }
    auto label = std::make_unique<Label>(std::move(text), TextStyle::Body);
    label->SetWrap(true);
    label->SetVerticalAlignment(Alignment::Center);
    grid->AddAt(std::move(label), 0, 1);
    return grid;
}

std::int32_t ShowMessage(Window* owner, std::u16string_view title, std::u16string_view text,
                         MessageButtons buttons, MessageIcon icon, bool defaultSecond) {
    Dialog dialog(kMessageDialogWidth);
    dialog.Content().AddChild(BuildMessageContent(std::u16string(text), icon));
    for (const MessageButton& entry : MessageButtonsOf(buttons, defaultSecond)) {
        auto* button = dialog.AddButton(
            std::make_unique<Button>(std::u16string(StandardLabel(entry.label)), entry.result),
            entry.result, entry.isDefault, entry.isCancel);
        // The default button starts with the focus, so that Enter presses it
        // even though the focused button takes Enter itself.
        if (entry.isDefault)
            dialog.SetInitialFocus(button);
    }
    return MessageResult(buttons, dialog.ShowModal(owner, title));
}

void ShowError(Window* owner, std::u16string_view title, std::u16string_view text) {
    ShowMessage(owner, title, text, MessageButtons::Ok, MessageIcon::Error);
}

} // namespace Velto::Widget::Kit
