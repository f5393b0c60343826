#include "widget/kit/message_dialog.h"

#include "widget/core/grid.h"
#include "widget/core/icon.h"
#include "widget/core/label.h"

namespace Velto::Widget::Kit {
namespace {

// Standard labels of the buttons.
constexpr std::uint32_t kLabelOk = 0;
constexpr std::uint32_t kLabelCancel = 1;
constexpr std::uint32_t kLabelYes = 2;
constexpr std::uint32_t kLabelNo = 3;

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

} // namespace Velto::Widget::Kit
