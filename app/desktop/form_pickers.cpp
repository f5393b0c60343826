#include "app/desktop/form_pickers.h"

#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/pickers.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"

namespace App {

using namespace Velto::Widget;

namespace {

constexpr std::u16string_view kAllFilesPattern = u"*.*";

Kit::PickerOwner OwnerOf(const Dialog& dialog) {
    Kit::PickerOwner owner;
    owner.x11Window = dialog.XWindow();
    owner.runUntil = [](const std::function<bool()>& done) {
        Application::Instance().RunUntil(done);
    };
    return owner;
}

} // namespace

FormPickers DialogPickers(const Dialog& dialog) {
    FormPickers pickers;
    pickers.folder = [&dialog](const std::u16string& title, const std::string& initial) {
        return Kit::PickFolder(OwnerOf(dialog), title, initial);
    };
    pickers.file = [&dialog](const std::u16string& title, const std::u16string& description) {
        const Kit::FileFilter filters[] = {{description, std::u16string{kAllFilesPattern}}};
        return Kit::PickFile(OwnerOf(dialog), title, filters);
    };
    return pickers;
}

} // namespace App
