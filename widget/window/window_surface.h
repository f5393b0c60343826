#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct SDL_Window;

namespace Velto::Widget {

class CairoCanvas;

// The back buffer of a window: frames are drawn with the Cairo canvas into
// memory of the window's pixel size, then the rows that changed since the
// last frame are copied into SDL's window surface and pushed to the screen.
class WindowSurface {
public:
    explicit WindowSurface(SDL_Window* window) : m_window(window) {}
    ~WindowSurface();
    WindowSurface(const WindowSurface&) = delete;
    WindowSurface& operator=(const WindowSurface&) = delete;

    // The canvas for the next frame at the window's current pixel size;
    // recreated (and the next present made whole) when the size changed.
    // None when the window has no usable size.
    CairoCanvas* BeginFrame(float scale);
    // Shows what changed in the frame just drawn.
    void Present();
    // Shows the last frame again (the window was uncovered).
    void Reshow();
    // The next present copies everything (SDL made a new surface).
    void Invalidate() { m_whole = true; }

private:
    SDL_Window* m_window{nullptr};
    std::vector<std::uint8_t> m_pixels;
    std::unique_ptr<CairoCanvas> m_canvas;
    int m_width{0};
    int m_height{0};
    float m_scale{0};
    bool m_whole{true};
    bool m_hasFrame{false};
};

} // namespace Velto::Widget
