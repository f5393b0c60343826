#include "widget/menu/context_menu.h"

#include "widget/input/host.h"

namespace Velto::Widget::Input {

ContextMenu::~ContextMenu() {
    // The session's handlers point back here: drop them before it closes.
    if (m_session) {
        m_session->SetClosedHandler(nullptr);
        m_session->SetChosenHandler(nullptr);
        m_session->Close();
    }
}

void ContextMenu::SetItems(std::vector<MenuItem> items) {
    m_items = std::move(items);
    ++m_itemsVersion;
}

bool ContextMenu::Open(MenuServices services, const PixelRect& anchor, bool fromKeyboard) {
    Close();
    // Access keys show underlined for a menu opened from the keyboard, or
    // while the owner window shows its cues.
    const bool cues =
        fromKeyboard || (services.keyHost != nullptr && services.keyHost->AccessKeyCuesShown());
    auto session = MenuSession::Create(std::move(services), m_items);
    session->SetHoverDelay(m_hoverDelay);
    session->SetAccessKeyCues(cues);
    // The chosen-item handler is copied into the session, so a menu replaced
    // or destroyed by its own closed handler still delivers the choice.
    session->SetChosenHandler(m_chosen);
    const std::uint64_t version = m_itemsVersion;
    MenuSession* raw = session.get();
    session->SetClosedHandler([this, raw, version] {
        if (version == m_itemsVersion)
            m_items = raw->Items();
        if (m_closed) {
            const ClosedHandler closed = m_closed;
            closed();
        }
    });
    m_session = std::move(session);
    if (m_session->Open(anchor, fromKeyboard))
        return true;
    m_session.reset();
    return false;
}

void ContextMenu::Close() {
    if (m_session)
        m_session->Close();
}

} // namespace Velto::Widget::Input
