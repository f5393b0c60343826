#pragma once

#include "thumbnailer/thumbnail_bitmap.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Velto::Thumbnailer {

// Starts libvips for one thumbnail: one worker thread, no operation cache,
// and none of the loaders libvips marks as unfit for untrusted input.
bool StartVips(const char* programName);

// The image in the open file `fd` (its first frame or page), upright by its
// EXIF orientation, shrunk while loading to fit `pixels` x `pixels` (never
// enlarged), as premultiplied BGRA. None when it is not an image libvips
// reads, is truncated, or has more pixels than a thumbnail is worth decoding.
std::optional<Corvane::ThumbnailBitmap> DecodeImageFd(int fd, std::uint32_t pixels);

// The same for an image file written by a desktop thumbnailer.
std::optional<Corvane::ThumbnailBitmap> DecodeImageFile(const std::string& path,
                                                        std::uint32_t pixels);

} // namespace Velto::Thumbnailer
