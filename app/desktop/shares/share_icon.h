#pragma once

#include "config/config.h"
#include "widget/render/bitmap.h"

#include <memory>

namespace App {

// The desktop's icon for a share's row: the file type's icon for a shared
// file, the folder icon otherwise; none when the icon theme has nothing.
std::shared_ptr<const Velto::Widget::Bitmap> ShareIcon(const Velto::Corvane::Share& share);

} // namespace App
