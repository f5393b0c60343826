#include "config/private_file_writer.h"

#include "base/file_util.h"
#include "base/private_file.h"

namespace Velto::Corvane {
namespace {

constexpr mode_t kPrivateFolderMode = 0700;

} // namespace

bool WritePrivateFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty())
        return false;
    if (path.find('/') != std::string::npos) {
        const std::string folder = ParentPath(path);
        if (!folder.empty() && Failed(CreateDirectories(folder, kPrivateFolderMode)))
            return false;
    }
    return Succeeded(ReplacePrivateFile(path, bytes));
}

} // namespace Velto::Corvane
