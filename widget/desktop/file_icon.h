#pragma once

#include "widget/render/bitmap.h"

#include <memory>
#include <string>
#include <string_view>

namespace Velto::Widget::Kit {

// The desktop's icon for a kind of file, or for folders, drawn at
// `pixelSize` pixels from the current icon theme; none when the theme has
// nothing to show. The kind comes from the name alone (no file is
// touched), and each kind and size is looked up once per process.
std::shared_ptr<const Bitmap> FileIcon(std::string_view path, int pixelSize);
std::shared_ptr<const Bitmap> FolderIcon(int pixelSize);

// The kind of a path as icons are cached under it: the name's text from its
// first "." on ("." and the whole name when it has none), lower-cased.
std::string FileTypeText(std::string_view path);

} // namespace Velto::Widget::Kit
