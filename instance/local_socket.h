#pragma once

#include "base/unique_fd.h"

#include <chrono>
#include <cstddef>
#include <span>
#include <string>

namespace Velto::Instance {

using Deadline = std::chrono::steady_clock::time_point;

// The longest path a Unix socket address holds (sun_path less its zero).
std::size_t MaxLocalSocketPath();

// A non-blocking listening Unix stream socket at `path`. Whatever was at the
// path before is removed first: the caller holds the instance lock, so a file
// there can only be left over from a copy that ended without cleaning up.
UniqueFd ListenLocal(const std::string& path);

// A connected blocking socket, or none when nothing listens there or the
// deadline passes first.
UniqueFd ConnectLocal(const std::string& path, Deadline deadline);

// The peer of a connected socket runs as our own user.
bool PeerIsSameUser(int fd);

// Blocking transfers that give up at the deadline.
bool SendAll(int fd, std::span<const std::byte> bytes, Deadline deadline);
bool ReceiveExact(int fd, std::span<std::byte> bytes, Deadline deadline);

} // namespace Velto::Instance
