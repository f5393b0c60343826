#include "widget/input/key_route.h"

#include "widget/input/input_router.h"

namespace Velto::Widget {

KeyRoute::KeyRoute(InputRouter& router, RouteHandlers handlers) : m_router(&router) {
    m_id = router.AddRoute(*this, std::move(handlers));
}

KeyRoute::~KeyRoute() {
    if (m_router != nullptr)
        m_router->RemoveRoute(m_id);
}

} // namespace Velto::Widget
