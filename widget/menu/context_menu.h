#pragma once

#include "widget/menu/menu_item.h"
#include "widget/menu/menu_services.h"
#include "widget/menu/menu_session.h"
#include "widget/menu/popup_placement.h"
#include "widget/render/geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Velto::Widget {
class Window;
} // namespace Velto::Widget

namespace Velto::Widget::Menus {

// A menu that pops up at a point or under a widget: it keeps the items and
// the handlers, and each showing runs a MenuSession. Check and radio marks
// changed by a choice stay in the items for the next showing. Destroying
// the menu closes it without running the closed handler.
class ContextMenu {
public:
    using ChosenHandler = MenuSession::ChosenHandler;
    using ClosedHandler = MenuSession::ClosedHandler;

    ContextMenu() = default;
    ~ContextMenu();
    ContextMenu(const ContextMenu&) = delete;
    ContextMenu& operator=(const ContextMenu&) = delete;

    // Takes effect at the next showing.
    void SetItems(std::vector<MenuItem> items);
    const std::vector<MenuItem>& Items() const { return m_items; }
    // Receives a copy of the chosen item, from a task that runs after the
    // menu's windows are hidden.
    void SetOnItemChosen(ChosenHandler handler) { m_chosen = std::move(handler); }
    // Runs each time the menu closes, before any item-chosen handler.
    void SetOnClosed(ClosedHandler handler) { m_closed = std::move(handler); }
    void SetHoverDelay(double seconds) { m_hoverDelay = seconds; }
    double HoverDelay() const { return m_hoverDelay; }

    // Opens at a point of the window's client area (DIPs), as for a right
    // click; the window keeps the keyboard and must outlive the showing.
    bool Show(Window& window, PointF point, bool fromKeyboard = false);
    // Opens under a rectangle of the window's client area (DIPs), as for a
    // drop-down button.
    bool ShowBelow(Window& window, const RectF& rectangle, bool fromKeyboard = false);
    // Where a menu may go: the work area of the monitor that holds a point
    // of the screen. Without one, the work area of the owner window's
    // monitor is used.
    using WorkAreaProvider = std::function<std::optional<PixelRect>(int x, int y)>;
    void SetWorkAreaProvider(WorkAreaProvider provider) { m_workArea = std::move(provider); }

    // Opens below an anchor in screen pixels (an empty rectangle for a
    // point) with the given services; an open menu closes first. With
    // fromKeyboard the first item is hot and the access keys are underlined.
    bool Open(MenuServices services, const PixelRect& anchor, bool fromKeyboard);
    void Close();
    bool IsOpen() const { return m_session && m_session->IsOpen(); }
    // The running showing, while open.
    MenuSession* Session() const { return IsOpen() ? m_session.get() : nullptr; }

    static constexpr double kDefaultHoverDelay = MenuSession::kDefaultHoverDelay;

private:
    MenuServices ServicesFor(Window& window);

    std::vector<MenuItem> m_items;
    // Counts SetItems calls, so that a showing writes its marks back only
    // into the items it was given.
    std::uint64_t m_itemsVersion{0};
    ChosenHandler m_chosen;
    ClosedHandler m_closed;
    double m_hoverDelay{kDefaultHoverDelay};
    WorkAreaProvider m_workArea;
    std::shared_ptr<MenuSession> m_session;
};

} // namespace Velto::Widget::Menus
