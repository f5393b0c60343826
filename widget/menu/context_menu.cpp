#include "widget/menu/context_menu.h"

#include "widget/input/input_router.h"
#include "widget/menu/global_pointer.h"
#include "widget/menu/menu_popup.h"
#include "widget/window/application.h"
#include "widget/window/window.h"

#include <cmath>

namespace Velto::Widget::Menus {

ContextMenu::~ContextMenu() {
    // The session's handlers point back here: drop them before it closes.
    if (m_session) {
        m_session->SetClosedHandler(nullptr);
        m_session->SetChosenHandler(nullptr);
        m_session->Close();
    }
}

void ContextMenu::SetItems(std::vector<MenuItem> items) {
    m_items = std::move(items);
    ++m_itemsVersion;
}

bool ContextMenu::Open(MenuServices services, const PixelRect& anchor, bool fromKeyboard) {
    Close();
    // Access keys show underlined for a menu opened from the keyboard, or
    // while the owner window shows its cues.
    const bool cues =
        fromKeyboard || (services.keyRouter != nullptr && services.keyRouter->AccessKeyCuesShown());
    auto session = MenuSession::Create(std::move(services), m_items);
    session->SetHoverDelay(m_hoverDelay);
    session->SetAccessKeyCues(cues);
    // The chosen-item handler is copied into the session, so a menu replaced
    // or destroyed by its own closed handler still delivers the choice.
    session->SetChosenHandler(m_chosen);
    const std::uint64_t version = m_itemsVersion;
    MenuSession* raw = session.get();
    session->SetClosedHandler([this, raw, version] {
        if (version == m_itemsVersion)
            m_items = raw->Items();
        if (m_closed) {
            const ClosedHandler closed = m_closed;
            closed();
        }
    });
    m_session = std::move(session);
    if (m_session->Open(anchor, fromKeyboard))
        return true;
    m_session.reset();
    return false;
}

MenuServices ContextMenu::ServicesFor(Window& window) {
    MenuServices services;
    services.keyRouter = &window;
    services.post = [](std::function<void()> task) {
        Application::Instance().Post(std::move(task));
    };
    services.workAreaAt = m_workArea;
    if (!services.workAreaAt) {
        services.workAreaAt = [&window](int, int) -> std::optional<PixelRect> {
            const ScreenBounds area = window.WorkArea();
            if (area.IsEmpty())
                return std::nullopt;
            return PixelRect{area.x, area.y, area.width, area.height};
        };
    }
    services.pointerPosition = [&window] { return GlobalPointerPosition(window.NativeWindow()); };
    services.createLevel = [&window](MenuSession& session,
                                     int) -> std::unique_ptr<MenuLevelWindow> {
        auto popup = std::make_unique<MenuPopup>(session.weak_from_this());
        if (!popup->CreateFor(window))
            return nullptr;
        return popup;
    };
    return services;
}

bool ContextMenu::Show(Window& window, PointF point, bool fromKeyboard) {
    const ScreenBounds client = window.ClientScreenBounds();
    const float scale = window.DpiScale();
    const PixelRect anchor{client.x + static_cast<int>(std::lround(point.x * scale)),
                           client.y + static_cast<int>(std::lround(point.y * scale)), 0, 0};
    return Open(ServicesFor(window), anchor, fromKeyboard);
}

bool ContextMenu::ShowBelow(Window& window, const RectF& rectangle, bool fromKeyboard) {
    const ScreenBounds client = window.ClientScreenBounds();
    const float scale = window.DpiScale();
    const int left = client.x + static_cast<int>(std::lround(rectangle.x * scale));
    const int top = client.y + static_cast<int>(std::lround(rectangle.y * scale));
    const int right = client.x + static_cast<int>(std::lround(rectangle.Right() * scale));
    const int bottom = client.y + static_cast<int>(std::lround(rectangle.Bottom() * scale));
    return Open(ServicesFor(window), PixelRect{left, top, right - left, bottom - top},
                fromKeyboard);
}

void ContextMenu::Close() {
    if (m_session)
        m_session->Close();
}

} // namespace Velto::Widget::Menus
