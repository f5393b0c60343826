#pragma once

#include <string>

namespace Velto::Corvane {

// Renames between folder descriptors, one name on each side; both return 0 or
// the errno value.

// renameat2 with RENAME_NOREPLACE: EEXIST when `toName` exists, so an
// existing item is never destroyed. EXDEV when the folders lie on different
// mounts: nothing is ever copied.
int RenameNoReplace(int fromDir, const std::string& fromName, int toDir, const std::string& toName);

// A rename that replaces an existing file `toName` in one step (an upload
// that was asked to overwrite). A folder in the way is not replaced.
int RenameReplacing(int fromDir, const std::string& fromName, int toDir, const std::string& toName);

} // namespace Velto::Corvane
