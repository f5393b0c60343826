#include "widget/controls/edit_menu.h"

namespace Velto::Widget::Controls {
namespace {

MenuItem Command(std::uint32_t id, const std::u16string& text, std::u16string shortcut,
                 bool enabled) {
    MenuItem item;
    item.id = id;
    item.text = text;
    item.shortcut = std::move(shortcut);
    item.enabled = enabled;
    return item;
}

MenuItem Separator() {
    MenuItem item;
    item.kind = MenuItemKind::Separator;
    return item;
}

} // namespace

std::vector<MenuItem> BuildEditMenu(const EditMenuTexts& texts, const EditMenuState& state) {
    return {
        Command(kEditUndo, texts.undo, u"Ctrl+Z", state.canUndo),
        Separator(),
        Command(kEditCut, texts.cut, u"Ctrl+X", state.canCut),
        Command(kEditCopy, texts.copy, u"Ctrl+C", state.canCopy),
        Command(kEditPaste, texts.paste, u"Ctrl+V", state.canPaste),
        Command(kEditDelete, texts.remove, u"Del", state.canDelete),
        Separator(),
        Command(kEditSelectAll, texts.selectAll, u"Ctrl+A", state.canSelectAll),
    };
}

} // namespace Velto::Widget::Controls
