#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Velto::Widget {

enum class MenuItemKind : std::uint32_t {
    Command = 0,
    Check = 1,
    Radio = 2,
    Separator = 3,
    Submenu = 4,
};

// One entry of a menu: plain data that the menu popups draw and the tray
// exports to the desktop's menu service. Copies are cheap enough to hand to
// handlers by value.
struct MenuItem {
    MenuItemKind kind{MenuItemKind::Command};
    // The caller's own identifier.
    std::uint32_t id{0};
    // "&" marks the access key ("&Open"); "&&" is a literal ampersand.
    std::u16string text;
    // Shown right-aligned ("Ctrl+C"); may be empty.
    std::u16string shortcut;
    // An icon glyph drawn in the mark column; 0 for none.
    char32_t iconGlyph{0};
    bool enabled{true};
    bool checked{false};
    // Radio items of one level with the same group exclude each other.
    std::uint32_t radioGroup{0};
    // A submenu's own items.
    std::vector<MenuItem> items;
    // Runs when the item is chosen, after the menu has closed.
    std::function<void()> command;

    bool IsSeparator() const { return kind == MenuItemKind::Separator; }
    bool IsSubmenu() const { return kind == MenuItemKind::Submenu; }
    // Separators are never chosen or made hot.
    bool IsSelectable() const { return enabled && !IsSeparator(); }

    // The access-key character as written after "&" (0 when there is none);
    // the first single "&" counts.
    char16_t AccessKey() const {
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != u'&')
                continue;
            if (text[i + 1] != u'&')
                return text[i + 1];
            ++i;
        }
        return 0;
    }

    // The text as shown: every "&" marker removed and "&&" shown as "&".
    std::u16string DisplayText() const {
        std::u16string shown;
        shown.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == u'&' && i + 1 < text.size())
                ++i;
            else if (text[i] == u'&')
                continue;
            shown.push_back(text[i]);
        }
        return shown;
    }
};

} // namespace Velto::Widget
