#pragma once

#include <string>
#include <string_view>

namespace Velto::Thumbnailer {

// The MIME type of the open file `fd`, from its first bytes and its name
// (shared-mime-info's rules); empty when nothing fits.
std::string GuessContentType(int fd, std::string_view name);

} // namespace Velto::Thumbnailer
