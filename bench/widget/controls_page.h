#pragma once

#include "widget/render/theme.h"

#include <string>

namespace Velto::Widget::Demo {

// Every control, in its usual states and a few that need input (focus, a
// selection, a hovered button), rendered headless to a PNG file at `path`;
// a second picture, "<path>-focus.png", shows the focus ring on the default
// button. False when a file could not be written.
bool RenderControlsPage(const Theme& theme, float scale, const std::string& path);

} // namespace Velto::Widget::Demo
