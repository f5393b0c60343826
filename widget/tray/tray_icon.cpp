#include "widget/tray/tray_icon.h"

#include "base/utf.h"
#include "widget/tray/icon_pixmap.h"
#include "widget/tray/tray_bus.h"

#include <cerrno>

namespace Velto::Widget::Kit {
namespace {

// Cuts a text to `units` code units without splitting a surrogate pair.
std::u16string Truncated(std::u16string_view text, std::size_t units) {
    if (text.size() <= units)
        return std::u16string(text);
    std::size_t end = units;
    if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
        --end;
    return std::u16string(text.substr(0, end));
}

std::string ItemId(const TrayOptions& options) {
    if (!options.id.empty())
        return options.id;
    return program_invocation_short_name != nullptr ? program_invocation_short_name : "";
}

} // namespace

TrayIcon::TrayIcon(UiPoster poster) : m_poster(std::move(poster)) {}

TrayIcon::~TrayIcon() {
    Remove();
    // Tasks still queued for the UI thread find the handlers gone.
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onSelect = nullptr;
    m_shared->onDoubleClick = nullptr;
    m_shared->onContextMenu = nullptr;
    m_shared->onHover = nullptr;
    m_shared->onTrace = nullptr;
    m_shared->menuProvider = nullptr;
}

void TrayIcon::Trace(std::string_view line) const {
    TraceHandler trace;
    {
        const std::lock_guard lock(m_shared->mutex);
        trace = m_shared->onTrace;
    }
    if (trace)
        trace(line);
}

bool TrayIcon::Add(const TrayOptions& options) {
    if (m_added)
        Remove();
    m_options = options;
    m_options.tooltip = Truncated(options.tooltip, kMaxTooltipUnits);
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->hidden = options.hidden;
    }
    const std::string hidden = options.hidden ? "1" : "0";
    if (!options.useShell) {
        m_added = true;
        Trace("tray add hidden=" + hidden + " ok=1");
        return true;
    }

    TrayBusState state;
    state.id = ItemId(options);
    state.tooltip = Utf16ToUtf8(m_options.tooltip);
    state.hidden = options.hidden;
    state.pixmaps = RenderIconPixmaps(options.icon);
    TrayBus::Started started = TrayBus::Start(
        std::move(state), m_menu, [this](TrayBusEvent event) { PostEvent(std::move(event)); });
    const bool ok = started.registered;
    if (started.bus) {
        m_bus = std::move(started.bus);
        const std::lock_guard lock(m_shared->mutex);
        m_shared->bus = m_bus.get();
        m_bus->SetMenuRefresh(static_cast<bool>(m_shared->menuProvider));
        m_added = true;
    }
    Trace("tray add hidden=" + hidden + " ok=" + (ok ? "1" : "0"));
    return ok;
}

void TrayIcon::Remove() {
    if (!m_added)
        return;
    m_added = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->bus = nullptr;
        m_shared->balloonClick = nullptr;
    }
    // Closing the connection takes the item off the panel.
    m_bus.reset();
    Trace("tray delete");
}

void TrayIcon::SetIcon(TrayIconImage icon) {
    m_options.icon = std::move(icon);
    if (!m_added)
        return;
    if (m_bus)
        m_bus->SetPixmaps(RenderIconPixmaps(m_options.icon));
    Trace("tray modify icon");
}

void TrayIcon::SetTooltip(std::u16string_view text) {
    m_options.tooltip = Truncated(text, kMaxTooltipUnits);
    if (!m_added)
        return;
    if (m_bus)
        m_bus->SetTooltip(Utf16ToUtf8(m_options.tooltip));
    Trace("tray modify tip");
}

bool TrayIcon::ShowBalloon(const TrayBalloon& balloon, std::function<void()> onClick) {
    if (!m_added)
        return false;
    std::uint64_t number = 0;
    {
        const std::lock_guard lock(m_shared->mutex);
        number = ++m_shared->balloonNumber;
        m_shared->balloonClick = std::move(onClick);
    }
    const TrayBalloon cut{Truncated(balloon.title, kMaxBalloonTitleUnits),
                          Truncated(balloon.text, kMaxBalloonTextUnits), balloon.isError};
    Trace("tray balloon " + Utf16ToUtf8(cut.title));
    if (m_bus)
        m_bus->Notify(cut, number);
    return true;
}

void TrayIcon::SetMenu(std::vector<MenuItem> items) {
    m_menu = std::move(items);
    if (m_bus)
        m_bus->SetMenu(m_menu);
}

void TrayIcon::SetMenuProvider(MenuProvider provider) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->menuProvider = std::move(provider);
    if (m_shared->bus != nullptr)
        m_shared->bus->SetMenuRefresh(static_cast<bool>(m_shared->menuProvider));
}

void TrayIcon::SetOnSelect(PointHandler handler) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onSelect = std::move(handler);
}

void TrayIcon::SetOnDoubleClick(PointHandler handler) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onDoubleClick = std::move(handler);
}

void TrayIcon::SetOnContextMenu(PointHandler handler) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onContextMenu = std::move(handler);
}

void TrayIcon::SetOnHover(PointHandler handler) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onHover = std::move(handler);
}

void TrayIcon::SetOnTrace(TraceHandler handler) {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->onTrace = std::move(handler);
}

// On the bus thread: hand the event to the UI thread.
void TrayIcon::PostEvent(TrayBusEvent event) {
    std::weak_ptr<Shared> weak = m_shared;
    auto task = [weak, event = std::move(event)]() mutable {
        const std::shared_ptr<Shared> shared = weak.lock();
        if (shared)
            HandleEvent(shared, event);
        // A menu refresh that cannot happen must not keep the panel waiting.
        if (event.done)
            event.done();
    };
    if (m_poster)
        m_poster(std::move(task));
    else
        task();
}

void TrayIcon::HandleEvent(const std::shared_ptr<Shared>& shared, TrayBusEvent& event) {
    using Kind = TrayBusEvent::Kind;
    std::unique_lock lock(shared->mutex);
    switch (event.kind) {
    case Kind::Activate:
    case Kind::ContextMenu: {
        PointHandler handler =
            event.kind == Kind::Activate ? shared->onSelect : shared->onContextMenu;
        lock.unlock();
        if (handler)
            handler(event.point);
        return;
    }
    case Kind::SecondaryActivate:
    case Kind::Scroll:
        return;
    case Kind::MenuCommand:
        lock.unlock();
        if (event.command)
            event.command();
        return;
    case Kind::MenuAboutToShow: {
        MenuProvider provider = shared->menuProvider;
        lock.unlock();
        if (!provider)
            return;
        std::vector<MenuItem> items = provider();
        lock.lock();
        // The icon may have been removed while the provider ran.
        if (shared->bus != nullptr)
            shared->bus->SetMenu(items);
        return;
    }
    case Kind::BalloonClicked: {
        if (event.balloon != shared->balloonNumber)
            return;
        std::function<void()> click = std::exchange(shared->balloonClick, nullptr);
        lock.unlock();
        if (click)
            click();
        return;
    }
    case Kind::BalloonClosed:
        if (event.balloon == shared->balloonNumber)
            shared->balloonClick = nullptr;
        return;
    case Kind::Registered: {
        // A panel (re)started and took the icon again.
        TraceHandler trace = shared->onTrace;
        const bool hidden = shared->hidden;
        lock.unlock();
        if (trace)
            trace(std::string("tray add hidden=") + (hidden ? "1" : "0") +
                  " ok=" + (event.ok ? "1" : "0"));
        return;
    }
    }
}

} // namespace Velto::Widget::Kit
