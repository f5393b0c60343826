#include "app/desktop/page.h"

namespace App {

void Page::Post(std::function<void()> task) const {
    if (!m_context.post) {
        task();
        return;
    }
    std::weak_ptr<bool> alive = m_alive;
    m_context.post([alive, task = std::move(task)] {
        if (alive.lock())
            task();
    });
}

} // namespace App
