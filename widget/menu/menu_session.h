#pragma once

#include "widget/core/events.h"
#include "widget/menu/menu_item.h"
#include "widget/menu/menu_services.h"
#include "widget/menu/popup_placement.h"
#include "widget/render/geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Velto::Widget {
class KeyRoute;
} // namespace Velto::Widget

namespace Velto::Widget::Menus {

class MenuLevelWindow;

// One showing of a menu: the stack of open levels, each in its own window,
// the hot item of each, and the keyboard route that sees keys before the
// focused widget of the owner window. Pointer input arrives from the level
// windows in screen pixels and is tracked across all levels. Choosing an
// item closes the whole menu and then runs the item-chosen handler from a
// posted task, so that the handler may open dialogs or rebuild the window.
// Created through Create (the timers hold it weakly); every call is made on
// the UI thread.
class MenuSession : public std::enable_shared_from_this<MenuSession> {
public:
    enum class MenuBarMove { Previous, Next };

    using ChosenHandler = std::function<void(MenuItem)>;
    using ClosedHandler = std::function<void()>;
    // Asked to move to the neighbouring menu of a menu bar.
    using MenuBarHandler = std::function<void(MenuBarMove)>;
    // A press outside every level; true when the handler took it (a menu
    // bar switching menus), so the menu stays open.
    using OutsidePressHandler = std::function<bool(PointF screen, PointerButton button)>;
    using OutsideMoveHandler = std::function<void(PointF screen)>;

    static constexpr double kDefaultHoverDelay = 0.35;

    static std::shared_ptr<MenuSession> Create(MenuServices services, std::vector<MenuItem> items);
    ~MenuSession();
    MenuSession(const MenuSession&) = delete;
    MenuSession& operator=(const MenuSession&) = delete;

    void SetChosenHandler(ChosenHandler handler) { m_chosen = std::move(handler); }
    void SetClosedHandler(ClosedHandler handler) { m_closed = std::move(handler); }
    void SetMenuBarHandler(MenuBarHandler handler) { m_menuBar = std::move(handler); }
    void SetOutsidePressHandler(OutsidePressHandler handler) {
        m_outsidePress = std::move(handler);
    }
    void SetOutsideMoveHandler(OutsideMoveHandler handler) { m_outsideMove = std::move(handler); }
    // How long the pointer rests on a submenu item before it opens; 0 or
    // less opens it at once.
    void SetHoverDelay(double seconds) { m_hoverDelay = seconds; }
    // Underline the access keys (a menu opened from the keyboard, or while
    // the owner window shows its cues).
    void SetAccessKeyCues(bool shown) { m_cues = shown; }

    // Shows the top level below the anchor (screen pixels; an empty
    // rectangle for a point). With selectFirst the first item is hot, as
    // when the menu is opened from the keyboard. False when it is already
    // open or its window cannot be made.
    bool Open(const PixelRect& anchor, bool selectFirst);
    // Chooses an item, as a click, Enter, Space or its access key does: a
    // submenu item opens its submenu; a disabled item or a separator does
    // nothing.
    void Invoke(int level, int index);
    // Makes an item hot (-1: none) and closes or schedules submenus to match.
    void HotChanged(int level, int index, bool fromKeyboard);
    // Closes the levels from `level` inward; 0 closes the whole menu.
    void Retire(int level);
    void Close() { Retire(0); }

    bool IsOpen() const { return m_open; }
    int LevelCount() const { return static_cast<int>(m_levels.size()); }
    int Hot(int level) const;
    MenuLevelWindow* LevelWindow(int level) const;
    // The items with their current check marks.
    const std::vector<MenuItem>& Items() const { return m_items; }

    // Input from the level windows, in screen pixels.
    void PointerMove(PointF screen);
    void PointerDown(PointF screen, PointerButton button, int clickCount);
    void PointerUp(PointF screen, PointerButton button);
    // A press outside every level that the window system saw without its
    // position (the popups' outside-click dismissal): the pointer's last
    // known position stands in.
    void OutsidePress(PointerButton button);
    // The pointer grab passed to a window that is not one of the menu's.
    void CaptureLost();
    // Keys, as the key route hands them on; true when consumed.
    bool KeyDown(const KeyEvent& event);

private:
    struct Level {
        std::vector<MenuItem>* items{nullptr};
        std::unique_ptr<MenuLevelWindow> window;
        int hot{-1};
        // The item of the level above that opened this one.
        int parentIndex{-1};
    };

    MenuSession(MenuServices services, std::vector<MenuItem> items);

    bool OpenLevel(std::vector<MenuItem>& items, int parentIndex, const PixelRect& anchor,
                   bool beside, bool selectFirst);
    void OpenSubmenu(int level, int index, bool selectFirst);
    void CloseLevelsFrom(int level);
    void CloseMenu();
    void SetHot(int level, int index);
    void CancelSubmenuTimer();
    void StartSubmenuTimer(int level, int index);
    // The innermost level whose window holds the point; -1 for none.
    int LevelAt(PointF screen) const;
    // The item under a point of a level's window, -1 when it is none or
    // cannot be chosen.
    int SelectableItemAt(int level, PointF screen) const;
    bool ValidItem(int level, int index) const;
    const MenuItem* ItemOf(int level, int index) const;
    int FirstSelectable(int level) const;
    int LastSelectable(int level) const;
    int StepSelectable(int level, int from, bool forward) const;
    void AccessKey(int level, char32_t key);
    void Dispose(std::vector<std::unique_ptr<MenuLevelWindow>> windows);
    InputRouter* TimerRouter() const;

    MenuServices m_services;
    std::vector<MenuItem> m_items;
    std::vector<Level> m_levels;
    // Windows that were hidden from inside their own input handlers wait
    // here until it is safe to destroy them.
    std::vector<std::unique_ptr<MenuLevelWindow>> m_retired;
    std::unique_ptr<KeyRoute> m_route;
    ChosenHandler m_chosen;
    ClosedHandler m_closed;
    MenuBarHandler m_menuBar;
    OutsidePressHandler m_outsidePress;
    OutsideMoveHandler m_outsideMove;
    double m_hoverDelay{kDefaultHoverDelay};
    std::uint64_t m_submenuTimer{0};
    bool m_open{false};
    bool m_cues{false};
    // A left press inside the menu, waiting for its release on an item.
    bool m_leftPressed{false};
    // Where the pointer was last seen, in screen pixels; a move that does
    // not change it (a window appearing under the pointer) does nothing.
    std::optional<PointF> m_lastPointer;
};

} // namespace Velto::Widget::Menus
