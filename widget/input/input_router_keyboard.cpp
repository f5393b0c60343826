// Keyboard, character and input-method routing, focus movement and access
// keys of the InputRouter.
#include "widget/core/widget.h"
#include "widget/input/input_router.h"
#include "widget/input/key_codes.h"
#include "widget/input/key_route.h"
#include "widget/input/upper_case.h"

#include <utility>

namespace Velto::Widget {
namespace {

constexpr char32_t kHighSurrogateFirst = 0xD800;
constexpr char32_t kHighSurrogateLast = 0xDBFF;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kLowSurrogateLast = 0xDFFF;
constexpr char32_t kFirstPrintable = 32;
constexpr char32_t kDeleteCharacter = 127;
constexpr char32_t kLastBmpCharacter = 0xFFFF;

bool IsHighSurrogate(char32_t c) {
    return c >= kHighSurrogateFirst && c <= kHighSurrogateLast;
}

bool IsLowSurrogate(char32_t c) {
    return c >= kLowSurrogateFirst && c <= kLowSurrogateLast;
}

// Pre-order over the widgets that are visible and enabled, with their
// subtrees.
template <typename Visit> void ForEachReachable(Widget& widget, const Visit& visit) {
    if (!widget.IsVisible() || !widget.IsEnabled())
        return;
    visit(widget);
    for (const auto& child : widget.Children())
        ForEachReachable(*child, visit);
}

// The entry after (or before) `position` in a ring of `count`.
std::size_t Step(std::size_t position, std::size_t count, bool forward) {
    return forward ? (position + 1) % count : (position + count - 1) % count;
}

} // namespace

bool InputRouter::KeyDown(const KeyEvent& event) {
    m_routeTookKey = false;
    m_routeOfLastKey.reset();
    for (const auto& route : RoutesNewestFirst()) {
        if (route->keyDown && route->keyDown(event)) {
            m_routeTookKey = true;
            m_routeOfLastKey = route;
            return true;
        }
    }

    DismissTooltip();

    if (event.virtualKey == kKeyAlt && (m_focused == nullptr || !m_focused->TakesAltKey())) {
        SetAccessKeyCues(true);
        return false;
    }
    if (event.virtualKey == kKeyEscape && m_accessKeyCues)
        SetAccessKeyCues(false);

    Widget* target = m_focused != nullptr ? m_focused : m_root;
    if (RouteUp(target, [&event](Widget& w) { return w.OnKeyDown(event); }))
        return true;

    if ((event.modifiers & (kModCtrl | kModAlt)) == 0) {
        const bool shift = (event.modifiers & kModShift) != 0;
        if (event.virtualKey == kKeyTab) {
            MoveFocus(!shift);
            return true;
        }
        const bool arrow = event.virtualKey >= kKeyLeft && event.virtualKey <= kKeyDown;
        if (arrow && !shift && m_focused != nullptr) {
            const bool forward = event.virtualKey == kKeyRight || event.virtualKey == kKeyDown;
            for (Widget* group = m_focused->Parent(); group != nullptr; group = group->Parent()) {
                if (!group->IsArrowKeyGroup())
                    continue;
                if (MoveFocusInGroup(*group, forward))
                    return true;
                break;
            }
        }
    }
    return OnUnhandledKey(event);
}

bool InputRouter::KeyUp(const KeyEvent& event) {
    for (const auto& route : RoutesNewestFirst())
        if (route->keyUp && route->keyUp(event))
            return true;
    Widget* target = m_focused != nullptr ? m_focused : m_root;
    return RouteUp(target, [&event](Widget& w) { return w.OnKeyUp(event); });
}

bool InputRouter::Char(const CharEvent& event) {
    if (std::exchange(m_routeTookKey, false) && m_routeOfLastKey.expired())
        return true;
    char32_t character = event.character;
    if (IsHighSurrogate(character)) {
        m_pendingHighSurrogate = static_cast<char16_t>(character);
        return true;
    }
    if (IsLowSurrogate(character)) {
        const char16_t high = m_pendingHighSurrogate;
        m_pendingHighSurrogate = 0;
        if (high == 0)
            return false; // a low surrogate alone is not a character
        character = 0x10000 + ((static_cast<char32_t>(high) - kHighSurrogateFirst) << 10) +
                    (character - kLowSurrogateFirst);
    } else {
        m_pendingHighSurrogate = 0;
    }
    if (character < kFirstPrintable || character == kDeleteCharacter)
        return false;

    CharEvent joined = event;
    joined.character = character;
    for (const auto& route : RoutesNewestFirst())
        if (route->character && route->character(joined))
            return true;

    if (!joined.typedWithAlt) {
        Widget* target = m_focused != nullptr ? m_focused : m_root;
        return RouteUp(target, [&joined](Widget& w) { return w.OnChar(joined); });
    }
    const bool focusedTakesAlt = m_focused != nullptr && m_focused->TakesAltKey();
    if (!focusedTakesAlt && character <= kLastBmpCharacter)
        character = SimpleUpperCase(character);
    return AccessKey(character);
}

bool InputRouter::AccessKey(char32_t character) {
    if (m_root == nullptr)
        return false;
    std::vector<Widget*> matches;
    ForEachReachable(*m_root, [&](Widget& w) {
        const char32_t key = w.AccessKey();
        if (key != 0 && SimpleUpperCase(key) == character)
            matches.push_back(&w);
    });
    if (matches.empty())
        return false;
    Widget* target = matches.front();
    for (std::size_t i = 0; i < matches.size(); ++i)
        if (matches[i] == m_focused)
            target = matches[Step(i, matches.size(), true)];
    target->OnAccessKey();
    return true;
}

bool InputRouter::Ime(const ImeEvent& event) {
    for (const auto& route : RoutesNewestFirst())
        if (route->ime && route->ime(event))
            return true;
    if (m_focused == nullptr || !m_focused->AllowsIme())
        return false;
    DispatchScope scope(*this);
    Widget* focused = m_focused;
    const bool handled = focused->OnIme(event);
    if (event.kind == ImeEventKind::CompositionChanged && !WasRemoved(focused) &&
        m_focused == focused && !m_shuttingDown) {
        const RectF caret = focused->CaretRect();
        const RectF bounds = focused->BoundsInWindow();
        PlaceImeWindow(RectF{(bounds.x + caret.x) * m_dpiScale, (bounds.y + caret.y) * m_dpiScale,
                             caret.width * m_dpiScale, caret.height * m_dpiScale});
    }
    return handled;
}

bool InputRouter::MoveFocus(bool forward) {
    if (m_root == nullptr)
        return false;
    std::vector<Widget*> stops;
    // Where the focused widget sits among the stops in tree order.
    std::optional<std::size_t> focusedAt;
    ForEachReachable(*m_root, [&](Widget& w) {
        if (&w == m_focused)
            focusedAt = stops.size();
        if (w.IsTabStop() && AcceptsFocus(w))
            stops.push_back(&w);
    });
    if (stops.empty())
        return false;
    Widget* next = nullptr;
    if (!focusedAt) {
        next = forward ? stops.front() : stops.back();
    } else {
        const bool onStop = *focusedAt < stops.size() && stops[*focusedAt] == m_focused;
        // Without being a stop itself, the focused widget sits just before
        // stops[*focusedAt].
        const std::size_t from = onStop || !forward ? *focusedAt : *focusedAt + stops.size() - 1;
        next = stops[Step(from, stops.size(), forward)];
    }
    return SetFocus(next, true);
}

bool InputRouter::MoveFocusInGroup(Widget& group, bool forward) {
    std::vector<Widget*> members;
    std::optional<std::size_t> focusedAt;
    for (const auto& child : group.Children())
        ForEachReachable(*child, [&](Widget& w) {
            if (!AcceptsFocus(w))
                return;
            if (&w == m_focused)
                focusedAt = members.size();
            members.push_back(&w);
        });
    if (!focusedAt || members.size() < 2)
        return false;
    Widget* next = members[Step(*focusedAt, members.size(), forward)];
    return next != m_focused && SetFocus(next, true);
}

} // namespace Velto::Widget
