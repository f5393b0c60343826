#pragma once

#include "widget/tray/tray_icon_image.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Velto::Widget::Kit {

// One picture of an icon as status-notifier hosts take it: straight
// (not premultiplied) ARGB32, each pixel in network byte order A, R, G, B.
struct IconPixmap {
    int width{0};
    int height{0};
    std::vector<std::uint8_t> argb;
};

// The sizes panels ask for; a host picks the nearest.
inline constexpr std::array<int, 6> kTrayIconSizes{16, 22, 24, 32, 48, 64};

// The image at every tray size: the provider's drawing at each size, else
// the bitmap scaled (aspect kept, centred). Sizes that give nothing are left
// out; an empty image gives none.
std::vector<IconPixmap> RenderIconPixmaps(const TrayIconImage& image);

// A premultiplied BGRA bitmap converted pixel by pixel, at its own size.
IconPixmap PixmapFromBitmap(const Bitmap& bitmap);

} // namespace Velto::Widget::Kit
