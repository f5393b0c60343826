#include "app/desktop/shares/share_icon.h"

#include "base/utf.h"
#include "widget/desktop/file_icon.h"

namespace App {

namespace {

// Drawn at 32 DIPs; the larger source stays sharp on scaled screens.
constexpr int kShareIconPixels = 48;

} // namespace

std::shared_ptr<const Velto::Widget::Bitmap> ShareIcon(const Velto::Corvane::Share& share) {
    if (share.file)
        return Velto::Widget::Kit::FileIcon(Velto::Utf16ToUtf8(share.path), kShareIconPixels);
    return Velto::Widget::Kit::FolderIcon(kShareIconPixels);
}

} // namespace App
