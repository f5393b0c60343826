#pragma once

#include "app/desktop/main_window.h"
#include "app/desktop/page_dialogs.h"

#include <functional>

namespace Velto::Corvane {
class CorvaneService;
}

namespace App {

// The accounts, access-log and settings pages for the main window, with the
// desktop's dialogs made for the window that shows them. `appearanceChanged`
// runs after Apply changed the language or the colour choice.
MainWindow::ExtraPages MakeExtraPageSet(Velto::Corvane::CorvaneService& service,
                                        std::function<PageDialogs(MainWindow& window)> dialogs,
                                        std::function<void()> appearanceChanged);

} // namespace App
