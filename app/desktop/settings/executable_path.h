#pragma once

#include <string>

namespace App {

// The full path of the running executable (from /proc/self/exe, however long
// it is); empty when the system does not tell.
std::string ExecutablePath();

} // namespace App
