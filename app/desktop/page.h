#pragma once

#include "app/desktop/page_context.h"
#include "service/service_status.h"
#include "widget/core/border.h"

#include <functional>
#include <memory>

namespace App {

// One page of the main window: a widget that builds its content when it is
// made, is owned by the window's widget tree, and shows the service's status
// whenever the window reads it. Tasks it posts do nothing once it is gone.
class Page : public Velto::Widget::Border {
public:
    explicit Page(PageContext& context) : m_context(context) {}
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // The status as the window just read it (every two seconds, and after
    // the page was shown or the server changed).
    virtual void Refresh(const Velto::Corvane::ServiceStatus& status) { (void)status; }

protected:
    PageContext& Context() const { return m_context; }
    UiLanguage Language() const { return m_context.language; }
    // Runs `task` through the window's post, unless the page is gone by then;
    // at once when the window posts nothing.
    void Post(std::function<void()> task) const;
    // Expires when the page goes: for callbacks that come back later.
    std::weak_ptr<bool> Alive() const { return m_alive; }

private:
    PageContext& m_context;
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
};

} // namespace App
