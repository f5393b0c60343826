#pragma once

namespace App {

// Replaces this process with the desktop program beside it, with the same
// arguments (the process id stays, so whoever started the command keeps
// watching the right process). Returns only when that failed, with the exit
// code after telling why on standard error.
int HandOverToDesktop(char** argv);

} // namespace App
