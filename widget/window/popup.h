#pragma once

#include "widget/window/window.h"

#include <functional>

namespace Velto::Widget {

// A transient window over an owner (menus, drop-downs, tooltips): an
// override-redirect X window that is mapped without taking the keyboard
// focus, so the owner keeps it and its key routes see the keys. While shown
// with dismissOnOutsideClick it holds a pointer grab, and a press anywhere
// outside the toolkit's open popups closes it (the press is consumed); it
// also closes when the owner moves or loses the focus.
class Popup : public Window {
public:
    Popup();
    ~Popup() override;

    // Creates the native window for the owner, hidden; it follows the
    // owner's theme and DPI.
    bool CreateFor(Window& owner);
    // Moves and sizes the popup to `bounds` (screen pixels) and shows it.
    void ShowAt(const ScreenBounds& bounds);
    // Hides the popup and runs the dismissed handler.
    void Dismiss();
    void Hide() override;

    bool DismissOnOutsideClick() const { return m_dismissOnOutsideClick; }
    void SetDismissOnOutsideClick(bool dismiss) { m_dismissOnOutsideClick = dismiss; }
    void SetOnDismissed(std::function<void()> handler) { m_onDismissed = std::move(handler); }

    bool IsPopup() const override { return true; }
    bool ClosesOnOutsideClick() const override { return m_dismissOnOutsideClick && IsShown(); }
    void DismissByOutsideClick() override { Dismiss(); }

protected:
    Color BackgroundColor() const override { return GetTheme().flyoutBackground; }
    std::uint32_t ExtraCreateFlags() const override;
    void OnOwnerMovedOrDeactivated() override;

private:
    bool m_dismissOnOutsideClick{true};
    std::function<void()> m_onDismissed;
};

} // namespace Velto::Widget
