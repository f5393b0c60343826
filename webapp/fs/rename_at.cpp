#include "webapp/fs/rename_at.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>

namespace Velto::Corvane {

int RenameNoReplace(int fromDir, const std::string& fromName, int toDir,
                    const std::string& toName) {
    return ::renameat2(fromDir, fromName.c_str(), toDir, toName.c_str(), RENAME_NOREPLACE) == 0
               ? 0
               : errno;
}

int RenameReplacing(int fromDir, const std::string& fromName, int toDir,
                    const std::string& toName) {
    return ::renameat(fromDir, fromName.c_str(), toDir, toName.c_str()) == 0 ? 0 : errno;
}

} // namespace Velto::Corvane
