#pragma once

#include "widget/core/widget.h"
#include "widget/render/bitmap.h"

#include <memory>

namespace Velto::Widget {

enum class Stretch : std::int32_t { None = 0, Uniform = 1 };

// A bitmap at its natural size, or scaled to fit with its aspect kept.
class Image : public Widget {
public:
    Image() { SetRole(kRoleImage); }

    void SetBitmap(std::shared_ptr<const Bitmap> bitmap);
    const std::shared_ptr<const Bitmap>& GetBitmap() const { return m_bitmap; }
    void SetStretch(Stretch stretch);

    std::string_view ClassName() const override { return "Image"; }

protected:
    SizeF MeasureOverride(SizeF available) override;
    void Draw(Canvas& canvas) override;

private:
    std::shared_ptr<const Bitmap> m_bitmap;
    Stretch m_stretch{Stretch::None};
};

} // namespace Velto::Widget
