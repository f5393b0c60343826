#pragma once

#include <string>
#include <vector>

namespace App {

// Where `program` is found: itself when it holds a "/", else the first
// executable file of that name in the folders of PATH. Empty when none.
std::string FindProgram(const std::string& program);

// Starts a program (found as FindProgram says) with these arguments, without
// a shell and detached from this process: it runs in its own session, is
// never this process's child (nothing is left to reap), reads /dev/null as
// its input, and starts with default signal handling and an empty signal
// mask. Returns once it has been forked off, without waiting for it; false
// when the program is not found or the process cannot be made.
bool StartDetached(const std::vector<std::string>& arguments);

} // namespace App
