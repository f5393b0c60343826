#pragma once

#include "widget/render/bitmap.h"

#include <functional>
#include <memory>

namespace Velto::Widget::Kit {

// The picture of a tray icon: a bitmap scaled to each size the panel asks
// for, or a provider that draws one at a given pixel size (sharper at small
// sizes). Neither means the system's default application icon.
struct TrayIconImage {
    using Provider = std::function<std::shared_ptr<const Bitmap>(int pixelSize)>;

    std::shared_ptr<const Bitmap> bitmap;
    Provider provider;

    bool IsEmpty() const { return !bitmap && !provider; }
};

} // namespace Velto::Widget::Kit
