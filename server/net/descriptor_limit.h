#pragma once

#include <cstdint>

namespace Velto::Net {

// Raises the process's soft limit on open descriptors to `wanted` (or as far
// as the hard limit allows); never lowers it. Each admitted connection holds
// a socket and, while it sends, a file or two.
void RaiseDescriptorLimit(std::uint64_t wanted);

} // namespace Velto::Net
