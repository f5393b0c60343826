#pragma once

#include <string>

namespace Velto::Corvane {

// The user's home trash, $XDG_DATA_HOME/Trash (an unset or relative
// XDG_DATA_HOME means $HOME/.local/share); empty without a usable home.
std::string HomeTrashPath();

} // namespace Velto::Corvane
