#pragma once

// A menu's surroundings without a display: the owner window is a headless
// host with a fake clock and a focused widget that records the keys it
// gets; level windows only remember where they were put and whether they
// show; posted tasks wait in a queue until the test runs them.

#include "widget/core/widget.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/menu/menu_level_window.h"
#include "widget/menu/menu_panel.h"
#include "widget/menu/menu_services.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget::Menus {

class FakeLevel final : public MenuLevelWindow {
public:
    FakeLevel(std::vector<FakeLevel*>& live, int level, float scale)
        : m_live(live), level(level), scale(scale) {
        m_live.push_back(this);
    }
    ~FakeLevel() override { std::erase(m_live, this); }

    MenuPanel& Panel() override { return panel; }
    float DpiScale() const override { return scale; }
    void ShowAt(const PixelRect& where) override {
        bounds = where;
        shown = true;
        panel.Arrange(RectF{0, 0, static_cast<float>(where.width) / scale,
                            static_cast<float>(where.height) / scale});
    }
    void Hide() override { shown = false; }
    PixelRect ScreenBounds() const override { return bounds; }

    // The screen point at the middle of an item's band.
    PointF ItemCentre(int index) const {
        const RectF band = panel.ItemBounds(index);
        return PointF{static_cast<float>(bounds.x) + (band.x + band.width / 2) * scale,
                      static_cast<float>(bounds.y) + (band.y + band.height / 2) * scale};
    }

    MenuPanel panel;
    std::vector<FakeLevel*>& m_live;
    int level{0};
    float scale{1};
    PixelRect bounds;
    bool shown{false};
};

// The owner window's focused widget: it writes down the keys and
// characters that reach it.
class KeyRecorder final : public Widget {
public:
    bool CanFocus() const override { return true; }
    bool OnKeyDown(const KeyEvent& e) override {
        keys.push_back(e.virtualKey);
        return true;
    }
    bool OnChar(const CharEvent& e) override {
        chars.push_back(e.character);
        return true;
    }
    std::vector<std::uint32_t> keys;
    std::vector<char32_t> chars;
};

struct MenuRig {
    Widget root;
    KeyRecorder* focused{nullptr};
    HeadlessHost host{root, LightTheme(kDefaultAccent)};
    // Before `posted`: level windows waiting there to be destroyed leave it.
    std::vector<FakeLevel*> live;
    std::vector<std::function<void()>> posted;
    std::optional<PixelRect> workArea{PixelRect{0, 0, 1920, 1080}};
    float scale{1};

    MenuRig() {
        focused = root.Add(std::make_unique<KeyRecorder>());
        host.Layout(SizeF{400, 300});
        host.SetFocus(focused, false);
    }

    MenuServices Services() {
        MenuServices services;
        services.keyRouter = &host;
        services.post = [this](std::function<void()> task) { posted.push_back(std::move(task)); };
        services.workAreaAt = [this](int, int) { return workArea; };
        services.createLevel = [this](MenuSession&, int level) -> std::unique_ptr<MenuLevelWindow> {
            return std::make_unique<FakeLevel>(live, level, scale);
        };
        return services;
    }

    // Runs the queued tasks, and those they queue, in order.
    void RunPosted() {
        while (!posted.empty()) {
            auto batch = std::move(posted);
            posted.clear();
            for (auto& task : batch)
                task();
        }
    }

    FakeLevel* Level(int level) const {
        for (FakeLevel* fake : live) {
            if (fake->level == level && fake->shown)
                return fake;
        }
        return nullptr;
    }
    int ShownLevels() const {
        return static_cast<int>(
            std::count_if(live.begin(), live.end(), [](FakeLevel* f) { return f->shown; }));
    }

    bool Key(std::uint32_t key, std::uint32_t modifiers = 0) {
        return host.KeyDown(KeyEvent{key, 0, modifiers, false, false, false});
    }
};

inline MenuItem Command(std::uint32_t id, std::u16string text, bool enabled = true) {
    MenuItem item;
    item.id = id;
    item.text = std::move(text);
    item.enabled = enabled;
    return item;
}

inline MenuItem Separator() {
    MenuItem item;
    item.kind = MenuItemKind::Separator;
    return item;
}

inline MenuItem Submenu(std::uint32_t id, std::u16string text, std::vector<MenuItem> items) {
    MenuItem item = Command(id, std::move(text));
    item.kind = MenuItemKind::Submenu;
    item.items = std::move(items);
    return item;
}

inline MenuItem Radio(std::uint32_t id, std::u16string text, std::uint32_t group, bool checked) {
    MenuItem item = Command(id, std::move(text));
    item.kind = MenuItemKind::Radio;
    item.radioGroup = group;
    item.checked = checked;
    return item;
}

inline MenuItem Check(std::uint32_t id, std::u16string text, bool checked) {
    MenuItem item = Command(id, std::move(text));
    item.kind = MenuItemKind::Check;
    item.checked = checked;
    return item;
}

} // namespace Velto::Widget::Menus
