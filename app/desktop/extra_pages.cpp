#include "app/desktop/extra_pages.h"

#include "app/autostart.h"
#include "app/desktop/edit_dialogs.h"
#include "app/desktop/extra_page_set.h"
#include "app/shell_actions.h"
#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/pickers.h"
#include "widget/window/application.h"
#include "widget/window/window.h"

namespace App {

using namespace Velto::Widget;

namespace {

// The native window that shows the main window's widgets; none on a
// headless host.
Window* NativeWindowOf(MainWindow& main) {
    return dynamic_cast<Window*>(main.Root().GetHost());
}

PageDialogs NativeDialogs(MainWindow& main) {
    PageDialogs dialogs;
    dialogs.editAccount = [&main](const Velto::Corvane::Config& config,
                                  Velto::Corvane::Account& account, bool isNew) {
        return EditAccountDialog(NativeWindowOf(main), config, account, isNew, main.Language());
    };
    dialogs.pickFile = [&main](const std::u16string& title, const std::u16string& description,
                               const std::u16string& patterns) -> std::optional<std::string> {
        Kit::PickerOwner owner;
        if (const Window* window = NativeWindowOf(main))
            owner.x11Window = window->XWindow();
        owner.runUntil = [](const std::function<bool()>& done) {
            Application::Instance().RunUntil(done);
        };
        const Kit::FileFilter filters[] = {{description, patterns}};
        return Kit::PickFile(owner, title, filters);
    };
    dialogs.openFolder = [](const std::string& folder) { return OpenFolder(folder); };
    dialogs.isAutostartEnabled = [] { return IsAutostartEnabled(); };
    dialogs.setAutostart = [](bool enable) { return SetAutostart(enable); };
    return dialogs;
}

} // namespace

MainWindow::ExtraPages MakeExtraPages(Velto::Corvane::CorvaneService& service,
                                      ExtraPageHooks hooks) {
    return MakeExtraPageSet(service, NativeDialogs, std::move(hooks.applyLook));
}

} // namespace App
