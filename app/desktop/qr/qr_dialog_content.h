#pragma once

#include "app/texts/ui_language.h"
#include "widget/core/widget.h"

#include <memory>
#include <string>

namespace App {

// The QR dialog's width and its code's edge, in DIPs.
constexpr float kQrDialogWidth = 360;
constexpr float kQrCodeSize = 240;

// What the QR dialog shows: the address as a QR code for a phone camera,
// the address itself and how to use the code.
std::unique_ptr<Velto::Widget::Widget> BuildQrDialogContent(const std::u16string& address,
                                                            UiLanguage language);

} // namespace App
