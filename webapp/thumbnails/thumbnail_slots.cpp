#include "webapp/thumbnails/thumbnail_slots.h"

namespace Velto::Corvane {

void ThumbnailSlots::Acquire() {
    std::unique_lock lock(m_mutex);
    m_freed.wait(lock, [this] { return m_free > 0; });
    --m_free;
}

void ThumbnailSlots::Release() {
    {
        const std::lock_guard lock(m_mutex);
        ++m_free;
    }
    m_freed.notify_one();
}

} // namespace Velto::Corvane
