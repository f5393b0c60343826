#pragma once

#include "base/result.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace Velto::Net {

// Creates `dir` (and missing parents) with mode 0700; an existing directory
// is tightened to 0700.
Result MakePrivateDirectory(const std::filesystem::path& dir);

// The whole file when it is a regular file of at most `maxBytes` (links are
// not followed). `error` says why not.
std::optional<std::string> ReadFileCapped(const std::filesystem::path& path, std::size_t maxBytes,
                                          Result& error);

// 0 when removed, kFileNotFound when it did not exist.
Result RemoveFile(const std::filesystem::path& path);

} // namespace Velto::Net
