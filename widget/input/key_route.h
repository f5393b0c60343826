#pragma once

#include "widget/core/events.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget {

class InputRouter;

// Callables that see input before the widget tree; each returns true to
// consume the input. An empty callable passes the input on.
struct RouteHandlers {
    std::function<bool(const KeyEvent&)> keyDown;
    std::function<bool(const KeyEvent&)> keyUp;
    std::function<bool(const CharEvent&)> character;
    std::function<bool(const ImeEvent&)> ime;
};

// While it lives, puts its handlers on top of the router's route stack; the
// newest route is asked first. Menus and drop-downs use it to see keys
// before the focused widget. A route may be destroyed from inside one of its
// own handlers. When the router goes first, the route simply stops working.
class KeyRoute {
public:
    KeyRoute(InputRouter& router, RouteHandlers handlers);
    ~KeyRoute();
    KeyRoute(const KeyRoute&) = delete;
    KeyRoute& operator=(const KeyRoute&) = delete;

    InputRouter* Router() const { return m_router; }

private:
    friend class InputRouter;

    InputRouter* m_router{nullptr};
    std::uint64_t m_id{0};
};

} // namespace Velto::Widget
