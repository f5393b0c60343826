#pragma once

#include "widget/render/theme.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Widget {
class Widget;
class Window;
} // namespace Velto::Widget

namespace Velto::Widget::Kit {

enum class MessageButtons : std::uint32_t { Ok = 0, OkCancel = 1, YesNo = 2, YesNoCancel = 3 };
enum class MessageIcon : std::uint32_t {
    None = 0,
    Information = 1,
    Warning = 2,
    Error = 3,
    Question = 4,
};

// What a message dialog answers.
constexpr std::int32_t kMessageOk = 1;
constexpr std::int32_t kMessageCancel = 2; // also: closed without a button
constexpr std::int32_t kMessageYes = 6;
constexpr std::int32_t kMessageNo = 7;

// One button of a message dialog, left to right.
struct MessageButton {
    std::uint32_t label{0}; // a standard label
    std::int32_t result{0};
    bool isDefault{false};
    bool isCancel{false};

    friend bool operator==(const MessageButton&, const MessageButton&) = default;
};

// The buttons of a set; defaultSecond makes the second one the default.
std::vector<MessageButton> MessageButtonsOf(MessageButtons buttons, bool defaultSecond);

// The answer for the way a dialog ended. Closing without a button (or a
// dialog that could not be shown) counts as the safe choice of the set: No
// for Yes and No, OK where OK is all there is, Cancel otherwise.
std::int32_t MessageResult(MessageButtons buttons, std::int32_t dialogResult);

// The icon's glyph and tone; glyph 0 for none.
struct MessageGlyph {
    char32_t glyph{0};
    Tone tone{Tone::Primary};
};
MessageGlyph MessageGlyphOf(MessageIcon icon);

// The dialog's content: the icon (when there is one) beside the wrapped
// text.
std::unique_ptr<Widget> BuildMessageContent(std::u16string text, MessageIcon icon);

// A message dialog is this wide (DIPs).
constexpr float kMessageDialogWidth = 420;

// Shows a modal message box over the owner (none: centred on the work area)
// with the buttons of the set in the label language, and answers which
// button ended it (MessageResult).
std::int32_t ShowMessage(Window* owner, std::u16string_view title, std::u16string_view text,
                         MessageButtons buttons, MessageIcon icon, bool defaultSecond = false);
// A message with OK and the error icon.
void ShowError(Window* owner, std::u16string_view title, std::u16string_view text);

} // namespace Velto::Widget::Kit
