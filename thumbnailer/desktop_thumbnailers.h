#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Thumbnailer {

// Runs the freedesktop.org thumbnailer installed for `mimeType`
// (thumbnailers/*.thumbnailer in the system data folders, e.g.
// ffmpegthumbnailer for video) on the open file `fd`, which it reaches
// through this process's descriptor, never through the file's own path.
// Returns the image file it wrote inside `workFolder`, or none when no
// thumbnailer handles the type or it failed.
std::optional<std::string> RunDesktopThumbnailer(int fd, std::string_view mimeType,
                                                 std::uint32_t pixels,
                                                 const std::string& workFolder);

} // namespace Velto::Thumbnailer
