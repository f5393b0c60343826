#pragma once

#include "thumbnailer/thumbnail_bitmap.h"

namespace Velto::Thumbnailer {

// Writes the bitmap as the helper's reply (magic, width, height, pixels) to
// `fd`; false when the reader went away.
bool WriteReply(int fd, const Corvane::ThumbnailBitmap& bitmap);

} // namespace Velto::Thumbnailer
