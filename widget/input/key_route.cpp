#include "widget/input/key_route.h"

#include "widget/input/host.h"

namespace Velto::Widget {

KeyRoute::KeyRoute(Host& host, RouteHandlers handlers) : m_host(&host) {
    m_id = host.AddRoute(*this, std::move(handlers));
}

KeyRoute::~KeyRoute() {
    if (m_host != nullptr)
        m_host->RemoveRoute(m_id);
}

} // namespace Velto::Widget
