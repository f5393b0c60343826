#pragma once

#include "app/desktop/links/link_address_view.h"
#include "app/texts/ui_language.h"
#include "config/config.h"

#include <functional>
#include <optional>
#include <string>

namespace Velto::Widget {
class Window;
}

namespace App {

// Keeps a confirmed link and gives the address to show for it (empty while
// the server has none); none when it could not be kept (its share is gone).
using LinkKeeper =
    std::function<std::optional<std::u16string>(const Velto::Corvane::ShareLink& link)>;

// The new-link dialog's window for `share`, owned by `owner` (none: centred
// on the screen). OK checks the form, hands the link to `keep` and shows its
// address with copy and QR code until the dialog is closed; true when a link
// was kept.
bool NewLinkDialog(Velto::Widget::Window* owner, const Velto::Corvane::Share& share,
                   UiLanguage language, const LinkKeeper& keep, const CopyText& copy);

// A link's address with copy and QR code, titled with the link's name.
void ShowLinkDialog(Velto::Widget::Window* owner, const std::u16string& title,
                    const std::u16string& address, UiLanguage language, const CopyText& copy);

} // namespace App
