#pragma once

#include <string>
#include <string_view>

namespace Velto::Corvane {

// Creates the new private file `path` (0600, never replacing anything) with
// `bytes`, without waiting for the disk. False when it could not be written
// whole; nothing is left behind then.
bool WritePrivateUnflushed(const std::string& path, std::string_view bytes);

} // namespace Velto::Corvane
