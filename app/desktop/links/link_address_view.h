#pragma once

#include "app/texts/ui_language.h"
#include "widget/core/widget.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace App {

// The link dialogs' width and their QR code's edge, in DIPs.
constexpr float kLinkDialogWidth = 520;
constexpr float kLinkQrSize = 200;

// Puts a text on the clipboard; true when it is there.
using CopyText = std::function<bool(std::u16string_view text)>;

// A link's address for handing out: an optional line above it, the address
// with a copy button, and the address as a QR code for a phone camera. An
// empty address (the server is off) shows why there is none instead.
std::unique_ptr<Velto::Widget::Widget> BuildLinkAddressView(const std::u16string& intro,
                                                            const std::u16string& address,
                                                            UiLanguage language, CopyText copy);

} // namespace App
