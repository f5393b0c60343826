#pragma once

typedef struct _PangoContext PangoContext;

namespace Velto::Widget {

// The calling thread's Pango context for text layouts: 96 DPI, so sizes in
// DIPs are pixels, with unhinted metrics and unrounded glyph positions, so a
// layout measures the same at every scale it is drawn at. Widgets live on the
// UI thread; tests and benchmarks may use others.
PangoContext* SharedPangoContext();

} // namespace Velto::Widget
