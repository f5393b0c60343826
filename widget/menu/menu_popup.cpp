#include "widget/menu/menu_popup.h"

#include "widget/menu/global_pointer.h"
#include "widget/menu/menu_panel.h"
#include "widget/menu/menu_session.h"

namespace Velto::Widget::Menus {

MenuPopup::MenuPopup(std::weak_ptr<MenuSession> session) : m_session(std::move(session)) {
    auto panel = std::make_unique<MenuPanel>();
    m_panel = panel.get();
    SetRoot(std::move(panel));
    m_panel->SetPointerSink([this](MenuPanel::PointerPhase phase, const PointerEvent& event) {
        const std::shared_ptr<MenuSession> session = m_session.lock();
        if (!session)
            return;
        // The event's own position, when the server cannot be asked.
        const float scale = Popup::DpiScale();
        const PointF screen =
            GlobalPointerPosition(NativeWindow())
                .value_or(PointF{static_cast<float>(m_bounds.x) + event.position.x * scale,
                                 static_cast<float>(m_bounds.y) + event.position.y * scale});
        switch (phase) {
        case MenuPanel::PointerPhase::Move:
            session->PointerMove(screen);
            break;
        case MenuPanel::PointerPhase::Down:
            session->PointerDown(screen, event.button, event.clickCount);
            break;
        case MenuPanel::PointerPhase::Up:
            session->PointerUp(screen, event.button);
            break;
        }
    });
}

MenuPopup::~MenuPopup() = default;

bool MenuPopup::CreateFor(Window& owner) {
    // The popup floor grabs the pointer while a popup that closes on outside
    // presses is open, and tells it of such presses.
    SetDismissOnOutsideClick(true);
    return Popup::CreateFor(owner);
}

void MenuPopup::ShowAt(const PixelRect& bounds) {
    m_bounds = bounds;
    Popup::ShowAt(Velto::Widget::ScreenBounds{bounds.x, bounds.y, bounds.width, bounds.height});
}

void MenuPopup::Hide() {
    Popup::Hide();
}

void MenuPopup::DismissByOutsideClick() {
    if (const std::shared_ptr<MenuSession> session = m_session.lock())
        session->OutsidePress(PointerButton::Left);
    else
        Popup::Hide();
}

void MenuPopup::OnOwnerMovedOrDeactivated() {
    if (const std::shared_ptr<MenuSession> session = m_session.lock())
        session->CaptureLost();
    else
        Popup::Hide();
}

} // namespace Velto::Widget::Menus
