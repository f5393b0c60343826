#pragma once

#include <string>

namespace App {

// Asks the desktop's file manager, over the session bus, to open the folder of
// `path` with the item selected (org.freedesktop.FileManager1.ShowItems); the
// bus starts a file manager that is installed but not running. Waits for its
// answer (up to a bound), so call it off the window thread. False when there
// is no session bus, no file manager answers to that name, or it refuses; true
// also when it is too slow to answer, since it may still show the item.
bool ShowItemInFileManager(const std::string& path);

// The file: URI of an absolute path, every byte outside the unreserved set
// and "/" percent-encoded.
std::string FileUri(const std::string& path);

} // namespace App
