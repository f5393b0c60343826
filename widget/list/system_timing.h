#pragma once

namespace Velto::Widget {

// Input timings the desktop lets the user set, read from its settings
// (GSettings) each time they are asked for, with the usual defaults where
// the desktop keeps none.

// Seconds between the caret's blinks (it shows, then hides, for this long
// each); 0 when the caret does not blink.
double CaretBlinkSeconds();

// The longest time between the two clicks of a double click, in seconds.
double DoubleClickSeconds();

} // namespace Velto::Widget
