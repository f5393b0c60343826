#pragma once

#include "widget/tray/tray_icon_image.h"

#include <string>

namespace Velto::Widget::Kit {

struct TrayOptions {
    TrayIconImage icon;
    std::u16string tooltip;
    // Hidden icons stay registered but ask the panel not to show them.
    bool hidden{false};
    // False: no bus at all; every tray operation succeeds without effect.
    bool useShell{true};
    // The application's identifier for the panel (its settings list items by
    // it); empty means the program's own name.
    std::string id;
};

} // namespace Velto::Widget::Kit
