#pragma once

#include <string>

namespace App {

// The full path of the command users run, which lies beside the desktop
// program's executable: what a sign-in entry starts. Empty when the system
// does not tell where the running executable is.
std::string ExecutablePath();

} // namespace App
