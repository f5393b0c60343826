#pragma once

namespace Velto::Widget {

// Every widget coordinate is a float in device-independent pixels (1/96 inch).
struct PointF {
    float x{0};
    float y{0};

    friend bool operator==(const PointF&, const PointF&) = default;
};

struct SizeF {
    float width{0};
    float height{0};

    friend bool operator==(const SizeF&, const SizeF&) = default;
};

struct RectF {
    float x{0};
    float y{0};
    float width{0};
    float height{0};

    float Right() const { return x + width; }
    float Bottom() const { return y + height; }
    bool IsEmpty() const { return !(width > 0) || !(height > 0); }
    bool Contains(PointF p) const {
        return p.x >= x && p.y >= y && p.x < Right() && p.y < Bottom();
    }
    bool Intersects(const RectF& o) const {
        return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
    }

    friend bool operator==(const RectF&, const RectF&) = default;
};

// Margins and paddings: left, top, right, bottom.
struct Thickness {
    float left{0};
    float top{0};
    float right{0};
    float bottom{0};

    float Horizontal() const { return left + right; }
    float Vertical() const { return top + bottom; }

    friend bool operator==(const Thickness&, const Thickness&) = default;
};

} // namespace Velto::Widget
