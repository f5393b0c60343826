#include "app/desktop/tray/tray_menu.h"

#include "app/texts/text_table.h"

namespace App {

using Velto::Widget::MenuItem;
using Velto::Widget::MenuItemKind;

namespace {

MenuItem Command(TrayCommand id, TextId text, UiLanguage language, bool enabled = true) {
    MenuItem item;
    item.id = id;
    item.text = Text(text, language);
    item.enabled = enabled;
    return item;
}

} // namespace

std::vector<MenuItem> BuildTrayMenu(TrayMenuState state, UiLanguage language) {
    MenuItem separator;
    separator.kind = MenuItemKind::Separator;
    return {
        Command(kTrayOpen, TextId::TrayOpen, language),
        Command(kTrayToggleServer, state.running ? TextId::StopServer : TextId::StartServer,
                language),
        Command(kTrayCopyAddress, TextId::TrayCopyAddress, language,
                state.running && state.hasAddress),
        separator,
        Command(kTrayExit, TextId::TrayExit, language),
    };
}

} // namespace App
