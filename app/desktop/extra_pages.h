#pragma once

#include "app/desktop/main_window.h"

#include <functional>

namespace Velto::Corvane {
class CorvaneService;
}

namespace App {

struct ExtraPageHooks {
    // Runs after Apply on the settings page changed the language or the
    // colour choice; the program then builds its windows in the new look.
    std::function<void()> applyLook;
};

// The accounts, access-log and settings pages, their dialogs owned by the
// native window that shows them.
MainWindow::ExtraPages MakeExtraPages(Velto::Corvane::CorvaneService& service,
                                      ExtraPageHooks hooks);

} // namespace App
