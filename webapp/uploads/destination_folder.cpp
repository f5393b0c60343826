#include "webapp/uploads/destination_folder.h"

#include "base/utf.h"

#include <span>

namespace Velto::Corvane {

std::string DestinationFolderPath(const ShareRoot& root, const PathComponents& components) {
    if (!root.fileName.empty() || components.empty())
        return Utf16ToUtf8(root.dir);
    return JoinPath(root, std::span(components).first(components.size() - 1));
}

} // namespace Velto::Corvane
