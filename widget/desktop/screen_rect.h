#pragma once

#include <algorithm>

namespace Velto::Widget::Kit {

// A rectangle on the screen in device pixels; right and bottom are
// exclusive.
struct ScreenRect {
    int left{0};
    int top{0};
    int right{0};
    int bottom{0};

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }

    ScreenRect Intersection(const ScreenRect& o) const {
        const ScreenRect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                           std::min(bottom, o.bottom)};
        return r.IsEmpty() ? ScreenRect{} : r;
    }

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

} // namespace Velto::Widget::Kit
