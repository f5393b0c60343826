#pragma once

#include "widget/core/events.h"

#include <cstdint>
#include <functional>

namespace Velto::Widget {

class Host;

// Callables that see input before the widget tree; each returns true to
// consume the input. An empty callable passes the input on.
struct RouteHandlers {
    std::function<bool(const KeyEvent&)> keyDown;
    std::function<bool(const KeyEvent&)> keyUp;
    std::function<bool(const CharEvent&)> character;
    std::function<bool(const ImeEvent&)> ime;
};

// While it lives, puts its handlers on top of the host's route stack; the
// newest route is asked first. Menus and drop-downs use it to see keys
// before the focused widget. A route may be destroyed from inside one of its
// own handlers. When the host goes first, the route simply stops working.
class KeyRoute {
public:
    KeyRoute(Host& host, RouteHandlers handlers);
    ~KeyRoute();
    KeyRoute(const KeyRoute&) = delete;
    KeyRoute& operator=(const KeyRoute&) = delete;

    Host* GetHost() const { return m_host; }

private:
    friend class Host;

    Host* m_host{nullptr};
    std::uint64_t m_id{0};
};

} // namespace Velto::Widget
