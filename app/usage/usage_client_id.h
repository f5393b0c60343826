#pragma once

#include <string>

namespace App {

// The anonymous id that ties this user's runs together: the content of the
// file "UsageId" in `folder` when it is exactly 32 characters; otherwise a new
// id of 32 lower-case hexadecimal characters (from the system's random
// generator; failing that, the millisecond tick count and the process id),
// saved there as a private file, replaced in one step. A file that cannot be
// written (no folder, a full disk) only means a new id next run.
std::string LoadOrCreateClientId(const std::string& folder);

} // namespace App
