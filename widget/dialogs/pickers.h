#pragma once

#include "widget/dialogs/file_filter.h"
#include "widget/dialogs/picker_request.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Velto::Widget::Kit {

// Folder and file pickers. Each asks the desktop portal, else zenity, else
// kdialog, else the toolkit's own dialog; a cancelled dialog gives no
// result (an empty list). What comes back is checked as the dialog
// promised: a chosen folder must be an existing folder and a chosen file an
// existing file that is not a folder; anything else is refused.

std::optional<std::string> PickFolder(const PickerOwner& owner, std::u16string_view title,
                                      std::string_view initialFolder);
// The first filter is selected at first.
std::optional<std::string> PickFile(const PickerOwner& owner, std::u16string_view title,
                                    std::span<const FileFilter> filters);
// Several folders (folders true) or files, in the dialog's order; items
// that fail the check are left out.
std::vector<std::string> PickMany(const PickerOwner& owner, std::u16string_view title,
                                  bool folders);

// The paths of a request's answer that pass its check.
std::vector<std::string> AcceptedPaths(const PickRequest& request,
                                       const std::vector<std::string>& paths);

} // namespace Velto::Widget::Kit
