#pragma once

#include "widget/core/border.h"

#include <functional>
#include <memory>

namespace App {

// The content of one extra page: it owns the page object behind its widgets,
// so that the page goes exactly when the window drops its widgets, and tells
// whoever keeps a pointer to the page.
class PageHolder final : public Velto::Widget::Border {
public:
    PageHolder(std::shared_ptr<void> page, std::function<void()> onGone)
        : m_page(std::move(page)), m_onGone(std::move(onGone)) {}
    ~PageHolder() override {
        if (m_onGone)
            m_onGone();
    }
    PageHolder(const PageHolder&) = delete;
    PageHolder& operator=(const PageHolder&) = delete;

private:
    std::shared_ptr<void> m_page;
    std::function<void()> m_onGone;
};

} // namespace App
