#pragma once

#include <string>

namespace Velto::Corvane {

// Gives a finished temporary file its final name in the same folder:
// replacing an existing file when asked to, else the first free name among
// the name itself and its numbered forms ("name (2).ext"...), or only the
// name itself when not `numbered`. Empty when there is none.
std::u16string MoveToFinalName(int folderFd, const std::string& temp, const std::u16string& name,
                               bool overwrite, bool numbered = true);

} // namespace Velto::Corvane
