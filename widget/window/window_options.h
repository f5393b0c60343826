#pragma once

#include <cstdint>
#include <string>

namespace Velto::Widget {

class Window;

// How a window is created (Window::Create). Sizes are DIPs unless said.
struct WindowOptions {
    std::u16string title;
    float width{800};
    float height{600};
    // Screen pixels of the top-left corner; otherwise the window manager
    // places the window.
    bool hasPosition{false};
    int x{0};
    int y{0};
    bool resizable{true};
    bool minimizable{true};
    // Offered only when resizable.
    bool maximizable{true};
    // The window this one belongs to: it stays above it, and dialogs centre
    // on it.
    Window* owner{nullptr};
    bool backdrop{false}; // no system backdrop material here; kept for callers
    bool activateOnShow{true};
    std::uint32_t frame{0}; // 0 standard frame, 1 borderless
    bool topmost{false};
    bool toolWindow{false}; // left out of the task bar
    // A dialog of its owner: window managers frame it as one (no minimise or
    // maximise button, kept above the owner).
    bool dialog{false};
    // False makes a window that never takes the keyboard focus.
    bool activatable{true};
    bool shadow{false};
    bool roundedCorners{false};
    // The client rectangle in screen pixels; wins over width, height and
    // the position.
    bool hasBounds{false};
    int boundsX{0};
    int boundsY{0};
    int boundsWidth{0};
    int boundsHeight{0};
    // The smallest client size the user can drag the window to (0: none).
    float minWidth{0};
    float minHeight{0};
    // WM_CLASS of the window; empty parts take the application name.
    std::string resName;
    std::string resClass;
};

} // namespace Velto::Widget
