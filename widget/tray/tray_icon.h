#pragma once

#include "widget/desktop/screen_point.h"
#include "widget/menu/menu_item.h"
#include "widget/tray/tray_balloon.h"
#include "widget/tray/tray_options.h"
#include "widget/tray/ui_poster.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Widget::Kit {

class TrayBus;
struct TrayBusEvent;

// The program's icon in the panel's notification area: a StatusNotifierItem
// with its menu, and desktop notifications in place of balloons. The bus
// work runs on a thread of the icon's own; handlers, menu commands and the
// menu provider run on the UI thread through the poster (on the bus thread
// when there is none). Without a panel that hosts such items the icon is
// simply not shown and nothing else changes; it appears as soon as one
// starts. All calls are made on the UI thread.
class TrayIcon {
public:
    using PointHandler = std::function<void(ScreenPoint)>;
    using TraceHandler = std::function<void(std::string_view)>;
    using MenuProvider = std::function<std::vector<MenuItem>()>;

    // Texts longer than these are cut, as the panel would.
    static constexpr std::size_t kMaxTooltipUnits = 127;
    static constexpr std::size_t kMaxBalloonTitleUnits = 63;
    static constexpr std::size_t kMaxBalloonTextUnits = 255;

    explicit TrayIcon(UiPoster poster = {});
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Shows the icon. True when a panel took it; false when there is no
    // session bus or no panel yet (with a bus, the icon stays ready and
    // appears when a panel starts). With useShell false nothing is
    // contacted and the answer is true.
    bool Add(const TrayOptions& options);
    void Remove();
    bool IsAdded() const { return m_added; }

    void SetIcon(TrayIconImage icon);
    void SetTooltip(std::u16string_view text);
    // Shows a notification; `onClick` runs once when the user clicks it and
    // is dropped when it closes, or when the next one is shown. False when
    // the icon is not added.
    bool ShowBalloon(const TrayBalloon& balloon, std::function<void()> onClick);

    // The menu the panel shows for the icon. A provider, when set, rebuilds
    // it each time the panel opens it, so it matches the program's state.
    void SetMenu(std::vector<MenuItem> items);
    void SetMenuProvider(MenuProvider provider);

    void SetOnSelect(PointHandler handler);
    void SetOnDoubleClick(PointHandler handler);
    void SetOnContextMenu(PointHandler handler);
    void SetOnHover(PointHandler handler);
    // Diagnostic lines: "tray add hidden=0 ok=1", "tray modify icon",
    // "tray modify tip", "tray balloon <title>", "tray delete".
    void SetOnTrace(TraceHandler handler);

private:
    // What the UI tasks share with this object; they hold it weakly, and
    // everything in it is guarded by `mutex`.
    struct Shared {
        std::mutex mutex;
        PointHandler onSelect;
        PointHandler onDoubleClick;
        PointHandler onContextMenu;
        PointHandler onHover;
        TraceHandler onTrace;
        MenuProvider menuProvider;
        std::function<void()> balloonClick;
        std::uint64_t balloonNumber{0};
        bool hidden{false};
        TrayBus* bus{nullptr};
    };

    void Trace(std::string_view line) const;
    void PostEvent(TrayBusEvent event);
    static void HandleEvent(const std::shared_ptr<Shared>& shared, TrayBusEvent& event);

    UiPoster m_poster;
    std::shared_ptr<Shared> m_shared{std::make_shared<Shared>()};
    std::unique_ptr<TrayBus> m_bus;
    TrayOptions m_options;
    std::vector<MenuItem> m_menu;
    bool m_added{false};
};

} // namespace Velto::Widget::Kit
