#pragma once

#include <cstdint>

namespace Velto::Corvane {

// Flushes a file's data (and the size needed to read it back) to the disk.
// Returns 0 or the errno value.
int SyncFileData(int fd);

// Starts writing the file's bytes in [offset, offset + length) to the disk
// without waiting for them, so a long write is mostly on the disk by the time
// SyncFileData waits for it. Failures are left for SyncFileData to report.
void StartWriteback(int fd, std::uint64_t offset, std::uint64_t length);

// Flushes a folder's entries to the disk, so a rename or a new name in it
// survives a power cut. `dirFd` may be an O_PATH descriptor. Returns 0 or the
// errno value.
int SyncFolder(int dirFd);

} // namespace Velto::Corvane
