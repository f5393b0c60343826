#pragma once

#include "widget/menu/menu_level_window.h"
#include "widget/window/popup.h"

#include <memory>

namespace Velto::Widget::Menus {

class MenuPanel;
class MenuSession;

// The desktop window of one menu level: a popup over the owner window that
// never takes the keyboard, showing a MenuPanel. Its pointer input goes to
// the session in screen pixels; a press outside the menu, or the owner
// moving or losing the focus, closes the whole menu.
class MenuPopup final : public Popup, public MenuLevelWindow {
public:
    explicit MenuPopup(std::weak_ptr<MenuSession> session);
    ~MenuPopup() override;

    // Creates the native window for the owner, hidden.
    bool CreateFor(Window& owner);

    MenuPanel& Panel() override { return *m_panel; }
    float DpiScale() const override { return Popup::DpiScale(); }
    void ShowAt(const PixelRect& bounds) override;
    void Hide() override;
    PixelRect ScreenBounds() const override { return m_bounds; }

    void DismissByOutsideClick() override;

protected:
    void OnOwnerMovedOrDeactivated() override;

private:
    std::weak_ptr<MenuSession> m_session;
    MenuPanel* m_panel{nullptr};
    PixelRect m_bounds;
};

} // namespace Velto::Widget::Menus
