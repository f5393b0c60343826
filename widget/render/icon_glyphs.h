#pragma once

#include <span>

namespace Velto::Widget {

// Icons are named by their code points in the Windows icon fonts (Segoe MDL2
// Assets / Segoe Fluent Icons). This maps one to the Material Icons code point
// drawn in its place; 0 when the glyph has no counterpart (it draws nothing).
char32_t MapIconGlyph(char32_t segoeCodePoint);

// Every mapped Segoe code point, in ascending order.
std::span<const char32_t> MappedIconGlyphs();

} // namespace Velto::Widget
