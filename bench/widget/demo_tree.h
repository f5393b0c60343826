#pragma once

#include "widget/core/widget.h"

#include <memory>

namespace Velto::Widget::Demo {

// A window-like page: a navigation pane, a title, cards with icons and
// Korean and English text, a scroll viewer, separators and a status line.
std::unique_ptr<Widget> BuildDemoTree();

// A window full of cards in a grid of `columns` x `rows` star cells, each a
// bordered card with an icon and two labels: the benchmark's frame.
std::unique_ptr<Widget> BuildCardGrid(int columns, int rows);

} // namespace Velto::Widget::Demo
