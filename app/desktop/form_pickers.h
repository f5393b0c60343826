#pragma once

#include <functional>
#include <optional>
#include <string>

namespace Velto::Widget {
class Dialog;
}

namespace App {

// The folder and file pickers a form offers, as functions, so that a form's
// content can be tried with pickers of a test's own.
struct FormPickers {
    std::function<std::optional<std::string>(const std::u16string& title,
                                             const std::string& initialFolder)>
        folder;
    std::function<std::optional<std::string>(const std::u16string& title,
                                             const std::u16string& filterDescription)>
        file;
};

// The desktop's pickers, above `dialog` (which must outlive them); the file
// picker offers every file.
FormPickers DialogPickers(const Velto::Widget::Dialog& dialog);

} // namespace App
