#pragma once

namespace Velto::Thumbnailer {

// Applies the helper's limits to itself before it reads a byte of input:
// address space, CPU time, output file size, no core dumps, no new
// privileges, and death with the server. Programs it starts inherit them.
// False when a limit could not be set; the helper then makes nothing.
bool ApplyHelperLimits();

} // namespace Velto::Thumbnailer
