#include "widget/menu/menu_session.h"

#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/input/key_route.h"
#include "widget/input/upper_case.h"
#include "widget/menu/menu_level_window.h"
#include "widget/menu/menu_panel.h"

#include <cmath>
#include <utility>

namespace Velto::Widget::Menus {

std::shared_ptr<MenuSession> MenuSession::Create(MenuServices services,
                                                 std::vector<MenuItem> items) {
    return std::shared_ptr<MenuSession>(new MenuSession(std::move(services), std::move(items)));
}

MenuSession::MenuSession(MenuServices services, std::vector<MenuItem> items)
    : m_services(std::move(services)), m_items(std::move(items)) {}

MenuSession::~MenuSession() {
    // Nothing runs for a menu that simply goes away: no closed handler.
    m_closed = nullptr;
    m_chosen = nullptr;
    CloseMenu();
    m_retired.clear();
}

InputRouter* MenuSession::TimerRouter() const {
    // The route forgets its router when the router goes first.
    return m_route ? m_route->Router() : nullptr;
}

bool MenuSession::Open(const PixelRect& anchor, bool selectFirst) {
    if (m_open || !m_services.createLevel)
        return false;
    m_retired.clear();
    m_open = true;
    m_leftPressed = false;
    m_lastPointer.reset();
    if (m_services.pointerPosition)
        m_lastPointer = m_services.pointerPosition();
    if (m_services.keyRouter != nullptr) {
        RouteHandlers handlers;
        handlers.keyDown = [this](const KeyEvent& event) { return KeyDown(event); };
        // Characters typed while the menu is open belong to it, not to the
        // focused widget underneath.
        handlers.character = [this](const CharEvent&) { return m_open; };
        m_route = std::make_unique<KeyRoute>(*m_services.keyRouter, std::move(handlers));
    }
    if (!OpenLevel(m_items, -1, anchor, false, selectFirst)) {
        const ClosedHandler closed = std::exchange(m_closed, nullptr);
        CloseMenu();
        m_closed = closed;
        return false;
    }
    return true;
}

bool MenuSession::OpenLevel(std::vector<MenuItem>& items, int parentIndex, const PixelRect& anchor,
                            bool beside, bool selectFirst) {
    std::unique_ptr<MenuLevelWindow> window =
        m_services.createLevel(*this, static_cast<int>(m_levels.size()));
    if (!window)
        return false;
    MenuPanel& panel = window->Panel();
    panel.SetItems(items);
    panel.SetHot(-1);
    panel.SetAccessKeyCues(m_cues);
    panel.Measure(SizeF{kInfinity, kInfinity});
    const float scale = window->DpiScale();
    const SizeF size = panel.DesiredSize();
    const PixelSize pixels{static_cast<int>(std::ceil(size.width * scale)),
                           static_cast<int>(std::ceil(size.height * scale))};
    std::optional<PixelRect> workArea;
    if (m_services.workAreaAt)
        workArea = m_services.workAreaAt(anchor.x + anchor.width / 2, anchor.y + anchor.height / 2);
    const PixelRect bounds = beside ? PlacePopupBeside(pixels, anchor, workArea)
                                    : PlacePopupBelow(pixels, anchor, workArea);

    Level level;
    level.items = &items;
    level.parentIndex = parentIndex;
    level.window = std::move(window);
    m_levels.push_back(std::move(level));
    m_levels.back().window->ShowAt(bounds);
    if (selectFirst)
        HotChanged(LevelCount() - 1, FirstSelectable(LevelCount() - 1), true);
    return true;
}

void MenuSession::OpenSubmenu(int level, int index, bool selectFirst) {
    if (!m_open || !ValidItem(level, index))
        return;
    MenuItem& item =
        (*m_levels[static_cast<std::size_t>(level)].items)[static_cast<std::size_t>(index)];
    if (!item.IsSubmenu() || !item.IsSelectable())
        return;
    CancelSubmenuTimer();
    SetHot(level, index);
    if (level + 1 < LevelCount()) {
        if (m_levels[static_cast<std::size_t>(level) + 1].parentIndex == index) {
            // Already open: the keyboard moves into it.
            if (selectFirst && Hot(level + 1) < 0)
                HotChanged(level + 1, FirstSelectable(level + 1), true);
            return;
        }
        CloseLevelsFrom(level + 1);
    }
    // The submenu stands beside its item, in screen pixels.
    const Level& parent = m_levels[static_cast<std::size_t>(level)];
    const PixelRect box = parent.window->ScreenBounds();
    const float scale = parent.window->DpiScale();
    const RectF band = parent.window->Panel().ItemBounds(index);
    const PixelRect anchor{box.x, box.y + static_cast<int>(std::lround(band.y * scale)), box.width,
                           static_cast<int>(std::lround(band.height * scale))};
    OpenLevel(item.items, index, anchor, true, selectFirst);
}

void MenuSession::Invoke(int level, int index) {
    if (!m_open || !ValidItem(level, index))
        return;
    std::vector<MenuItem>& items = *m_levels[static_cast<std::size_t>(level)].items;
    MenuItem& item = items[static_cast<std::size_t>(index)];
    if (!item.IsSelectable())
        return;
    if (item.IsSubmenu()) {
        OpenSubmenu(level, index, false);
        return;
    }
    if (item.kind == MenuItemKind::Check) {
        item.checked = !item.checked;
    } else if (item.kind == MenuItemKind::Radio) {
        for (MenuItem& other : items) {
            if (other.kind == MenuItemKind::Radio && other.radioGroup == item.radioGroup)
                other.checked = false;
        }
        item.checked = true;
    }
    const MenuItem chosen = item;
    // The session may go away with its owner while it closes.
    const std::shared_ptr<MenuSession> keep = shared_from_this();
    ChosenHandler handler = m_chosen;
    auto post = m_services.post;
    CloseMenu();
    auto run = [handler = std::move(handler), chosen] {
        if (handler)
            handler(chosen);
        if (chosen.command)
            chosen.command();
    };
    if (post)
        post(std::move(run));
    else
        run();
}

void MenuSession::HotChanged(int level, int index, bool fromKeyboard) {
    if (!m_open || level < 0 || level >= LevelCount())
        return;
    if (index != -1) {
        const MenuItem* item = ItemOf(level, index);
        if (item == nullptr || !item->IsSelectable())
            return;
    }
    SetHot(level, index);
    // A deeper level that belongs to another item closes. Leaving the items
    // for empty space keeps an open submenu, so that the pointer can cross
    // to it.
    if (index != -1 && level + 1 < LevelCount() &&
        m_levels[static_cast<std::size_t>(level) + 1].parentIndex != index)
        CloseLevelsFrom(level + 1);
    CancelSubmenuTimer();
    if (fromKeyboard || index == -1 || level != LevelCount() - 1)
        return;
    if (!ItemOf(level, index)->IsSubmenu())
        return;
    if (m_hoverDelay <= 0)
        OpenSubmenu(level, index, false);
    else
        StartSubmenuTimer(level, index);
}

void MenuSession::StartSubmenuTimer(int level, int index) {
    InputRouter* host = TimerRouter();
    if (host == nullptr) {
        OpenSubmenu(level, index, false);
        return;
    }
    std::weak_ptr<MenuSession> weak = weak_from_this();
    m_submenuTimer = host->SetTimer(
        nullptr, m_hoverDelay,
        [weak, level, index] {
            const std::shared_ptr<MenuSession> session = weak.lock();
            if (!session)
                return;
            session->m_submenuTimer = 0;
            // Only when the item is still hot on the innermost level.
            if (session->m_open && level == session->LevelCount() - 1 &&
                session->Hot(level) == index)
                session->OpenSubmenu(level, index, false);
        },
        false);
}

void MenuSession::CancelSubmenuTimer() {
    if (m_submenuTimer == 0)
        return;
    if (InputRouter* host = TimerRouter())
        host->KillTimer(m_submenuTimer);
    m_submenuTimer = 0;
}

void MenuSession::SetHot(int level, int index) {
    Level& entry = m_levels[static_cast<std::size_t>(level)];
    entry.hot = index;
    entry.window->Panel().SetHot(index);
}

void MenuSession::Retire(int level) {
    if (level <= 0) {
        if (!m_open)
            return;
        const std::shared_ptr<MenuSession> keep = shared_from_this();
        CloseMenu();
        return;
    }
    CloseLevelsFrom(level);
}

void MenuSession::CloseLevelsFrom(int level) {
    if (level < 0 || level >= LevelCount())
        return;
    CancelSubmenuTimer();
    std::vector<std::unique_ptr<MenuLevelWindow>> windows;
    while (LevelCount() > level) {
        Level& innermost = m_levels.back();
        innermost.window->Hide();
        windows.push_back(std::move(innermost.window));
        m_levels.pop_back();
    }
    Dispose(std::move(windows));
}

void MenuSession::CloseMenu() {
    if (!m_open)
        return;
    m_open = false;
    m_leftPressed = false;
    CancelSubmenuTimer();
    std::vector<std::unique_ptr<MenuLevelWindow>> windows;
    while (!m_levels.empty()) {
        m_levels.back().window->Hide();
        windows.push_back(std::move(m_levels.back().window));
        m_levels.pop_back();
    }
    Dispose(std::move(windows));
    m_route.reset();
    if (m_closed) {
        const ClosedHandler closed = m_closed;
        closed();
    }
}

void MenuSession::Dispose(std::vector<std::unique_ptr<MenuLevelWindow>> windows) {
    // The window whose input handler runs now may be among them: destroy
    // them later, from the UI loop, or when the session goes.
    if (m_services.post) {
        auto graveyard =
            std::make_shared<std::vector<std::unique_ptr<MenuLevelWindow>>>(std::move(windows));
        m_services.post([graveyard] { graveyard->clear(); });
        return;
    }
    for (auto& window : windows)
        m_retired.push_back(std::move(window));
}

int MenuSession::Hot(int level) const {
    if (level < 0 || level >= LevelCount())
        return -1;
    return m_levels[static_cast<std::size_t>(level)].hot;
}

MenuLevelWindow* MenuSession::LevelWindow(int level) const {
    if (level < 0 || level >= LevelCount())
        return nullptr;
    return m_levels[static_cast<std::size_t>(level)].window.get();
}

bool MenuSession::ValidItem(int level, int index) const {
    return level >= 0 && level < LevelCount() && index >= 0 &&
           index < static_cast<int>(m_levels[static_cast<std::size_t>(level)].items->size());
}

const MenuItem* MenuSession::ItemOf(int level, int index) const {
    if (!ValidItem(level, index))
        return nullptr;
    return &(*m_levels[static_cast<std::size_t>(level)].items)[static_cast<std::size_t>(index)];
}

int MenuSession::FirstSelectable(int level) const {
    return StepSelectable(level, -1, true);
}

int MenuSession::LastSelectable(int level) const {
    return StepSelectable(level, -1, false);
}

int MenuSession::StepSelectable(int level, int from, bool forward) const {
    if (level < 0 || level >= LevelCount())
        return -1;
    const auto& items = *m_levels[static_cast<std::size_t>(level)].items;
    const int count = static_cast<int>(items.size());
    if (count == 0)
        return -1;
    // From none, forward starts at the first item and backward at the last.
    int at = from < 0 ? (forward ? -1 : count) : from;
    for (int step = 0; step < count; ++step) {
        at = forward ? (at + 1) % count : (at - 1 + count) % count;
        if (items[static_cast<std::size_t>(at)].IsSelectable())
            return at;
    }
    return -1;
}

void MenuSession::AccessKey(int level, char32_t key) {
    const auto& items = *m_levels[static_cast<std::size_t>(level)].items;
    std::vector<int> matches;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = items[i];
        const char16_t own = item.AccessKey();
        if (own != 0 && item.IsSelectable() && SimpleUpperCase(own) == key)
            matches.push_back(static_cast<int>(i));
    }
    if (matches.empty())
        return;
    if (matches.size() == 1) {
        const int only = matches.front();
        if (items[static_cast<std::size_t>(only)].IsSubmenu())
            OpenSubmenu(level, only, true);
        else
            Invoke(level, only);
        return;
    }
    // Several items share the key: it moves among them without choosing.
    const int hot = Hot(level);
    int next = matches.front();
    for (const int match : matches) {
        if (match > hot) {
            next = match;
            break;
        }
    }
    HotChanged(level, next, true);
}

bool MenuSession::KeyDown(const KeyEvent& event) {
    if (!m_open || m_levels.empty())
        return false;
    const int level = LevelCount() - 1;
    const std::uint32_t key = event.virtualKey;
    switch (key) {
    case kKeyShift:
    case kKeyCtrl:
        return false;
    case kKeyEnter:
    case kKeySpace: {
        const int hot = Hot(level);
        const MenuItem* item = ItemOf(level, hot);
        if (item == nullptr)
            return true;
        if (item->IsSubmenu())
            OpenSubmenu(level, hot, true);
        else
            Invoke(level, hot);
        return true;
    }
    case kKeyEscape:
        Retire(level);
        return true;
    case kKeyTab:
    case kKeyAlt:
    case KeyF(10):
        Retire(0);
        return true;
    case kKeyHome:
        HotChanged(level, FirstSelectable(level), true);
        return true;
    case kKeyEnd:
        HotChanged(level, LastSelectable(level), true);
        return true;
    case kKeyUp:
    case kKeyDown: {
        const int next = StepSelectable(level, Hot(level), key == kKeyDown);
        if (next >= 0)
            HotChanged(level, next, true);
        return true;
    }
    case kKeyLeft:
        if (level > 0)
            Retire(level);
        else if (m_menuBar)
            m_menuBar(MenuBarMove::Previous);
        return true;
    case kKeyRight: {
        const int hot = Hot(level);
        const MenuItem* item = ItemOf(level, hot);
        if (item != nullptr && item->IsSubmenu())
            OpenSubmenu(level, hot, true);
        else if (level == 0 && m_menuBar)
            m_menuBar(MenuBarMove::Next);
        return true;
    }
    default:
        break;
    }
    const bool letter = key >= kKeyA && key <= kKeyZ;
    const bool digit = key >= kKey0 && key <= kKey9;
    if ((letter || digit) && (event.modifiers & kModCtrl) == 0)
        AccessKey(level, static_cast<char32_t>(key));
    return true;
}

int MenuSession::LevelAt(PointF screen) const {
    for (int level = LevelCount() - 1; level >= 0; --level) {
        if (m_levels[static_cast<std::size_t>(level)].window->ScreenBounds().Contains(screen.x,
                                                                                      screen.y))
            return level;
    }
    return -1;
}

int MenuSession::SelectableItemAt(int level, PointF screen) const {
    const MenuLevelWindow& window = *m_levels[static_cast<std::size_t>(level)].window;
    const PixelRect box = window.ScreenBounds();
    const float scale = window.DpiScale();
    const PointF local{(screen.x - static_cast<float>(box.x)) / scale,
                       (screen.y - static_cast<float>(box.y)) / scale};
    const int index = m_levels[static_cast<std::size_t>(level)].window->Panel().ItemAt(local);
    const MenuItem* item = ItemOf(level, index);
    return item != nullptr && item->IsSelectable() ? index : -1;
}

void MenuSession::PointerMove(PointF screen) {
    if (!m_open || m_lastPointer == screen)
        return;
    m_lastPointer = screen;
    const int level = LevelAt(screen);
    if (level < 0) {
        if (m_outsideMove)
            m_outsideMove(screen);
        return;
    }
    const int index = SelectableItemAt(level, screen);
    if (index != Hot(level))
        HotChanged(level, index, false);
}

void MenuSession::PointerDown(PointF screen, PointerButton button, int) {
    if (!m_open)
        return;
    m_lastPointer = screen;
    const int level = LevelAt(screen);
    if (level < 0) {
        if (button == PointerButton::None)
            return;
        if (m_outsidePress && m_outsidePress(screen, button))
            return;
        Retire(0);
        return;
    }
    if (button != PointerButton::Left)
        return;
    m_leftPressed = true;
    const int index = SelectableItemAt(level, screen);
    if (index < 0)
        return;
    if (index != Hot(level))
        HotChanged(level, index, false);
    // A press on a submenu item opens it without waiting.
    if (m_open && ItemOf(level, index)->IsSubmenu())
        OpenSubmenu(level, index, false);
}

void MenuSession::PointerUp(PointF screen, PointerButton button) {
    if (!m_open || button != PointerButton::Left || !m_leftPressed)
        return;
    m_leftPressed = false;
    const int level = LevelAt(screen);
    if (level < 0)
        return;
    const int index = SelectableItemAt(level, screen);
    if (index >= 0 && !ItemOf(level, index)->IsSubmenu())
        Invoke(level, index);
}

void MenuSession::OutsidePress(PointerButton button) {
    if (!m_open)
        return;
    if (m_outsidePress && m_outsidePress(m_lastPointer.value_or(PointF{}), button))
        return;
    Retire(0);
}

void MenuSession::CaptureLost() {
    Retire(0);
}

} // namespace Velto::Widget::Menus
