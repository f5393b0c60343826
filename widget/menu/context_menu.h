#pragma once

#include "widget/menu/menu_item.h"
#include "widget/menu/menu_services.h"
#include "widget/menu/menu_session.h"
#include "widget/menu/popup_placement.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Velto::Widget::Input {

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
    std::vector<MenuItem> m_items;
    // Counts SetItems calls, so that a showing writes its marks back only
    // into the items it was given.
    std::uint64_t m_itemsVersion{0};
    ChosenHandler m_chosen;
    ClosedHandler m_closed;
    double m_hoverDelay{kDefaultHoverDelay};
    std::shared_ptr<MenuSession> m_session;
};

} // namespace Velto::Widget::Input
