#pragma once

#include "base/clock.h"

#include <string>
#include <string_view>

namespace Velto::Corvane {

// The "Path" value of a trash record: relative to `topdir` when the item lies
// below it, else the absolute path (always absolute for the home trash, whose
// `topdir` is empty).
std::string TrashRecordPath(std::string_view originalPath, std::string_view topdir);

// The text of a ".trashinfo" file: the path percent-encoded like a URL path
// ("/" kept) and the deletion time as local "YYYY-MM-DDThh:mm:ss".
std::string TrashInfoText(std::string_view recordPath, FileTime deletionTime);

} // namespace Velto::Corvane
