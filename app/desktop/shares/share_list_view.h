#pragma once

#include "app/texts/ui_language.h"
#include "config/config.h"
#include "widget/core/widget.h"
#include "widget/render/bitmap.h"

#include <functional>
#include <memory>

namespace App {

// What the shares list needs from the window for each row: the row's action
// buttons and the system's icon for the shared item (none: an empty image).
struct ShareRowParts {
    std::function<std::unique_ptr<Velto::Widget::Widget>(const Velto::Corvane::Share&)> buttons;
    std::function<std::shared_ptr<const Velto::Widget::Bitmap>(const Velto::Corvane::Share&)> icon;
};

// The home page's list of shared folders and files in configuration order,
// each with its name, path and tags (guests' rights, password, read-only),
// and the drag-and-drop hint under the last; or the empty state that tells how
// to share something.
std::unique_ptr<Velto::Widget::Widget> BuildSharesView(const Velto::Corvane::Config& config,
                                                       UiLanguage language,
                                                       const ShareRowParts& parts);

} // namespace App
