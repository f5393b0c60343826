#pragma once

#include "widget/dialogs/picker_request.h"

#include <string>
#include <vector>

namespace Velto::Widget::Kit {

// The arguments of the desktop's dialog tools for a request.
std::vector<std::string> ZenityArguments(const PickRequest& request);
std::vector<std::string> KdialogArguments(const PickRequest& request);

// Asks with `zenity --file-selection` (GNOME and most desktops) or
// `kdialog` (KDE), whichever is on PATH. Exit status 1 is a cancel; a tool
// that is missing or fails otherwise is Unavailable.
PickOutcome PickWithZenity(const PickRequest& request);
PickOutcome PickWithKdialog(const PickRequest& request);

} // namespace Velto::Widget::Kit
