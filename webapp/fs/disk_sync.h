#pragma once

namespace Velto::Corvane {

// Flushes a file's data (and the size needed to read it back) to the disk.
// Returns 0 or the errno value.
int SyncFileData(int fd);

// Flushes a folder's entries to the disk, so a rename or a new name in it
// survives a power cut. `dirFd` may be an O_PATH descriptor. Returns 0 or the
// errno value.
int SyncFolder(int dirFd);

} // namespace Velto::Corvane
