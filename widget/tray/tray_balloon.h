#pragma once

#include <string>

namespace Velto::Widget::Kit {

// A desktop notification shown for the tray icon.
struct TrayBalloon {
    std::u16string title;
    std::u16string text;
    bool isError{false};
};

} // namespace Velto::Widget::Kit
