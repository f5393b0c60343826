#include "widget/window/window_surface.h"

#include "widget/render/cairo_canvas.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace Velto::Widget {
namespace {

constexpr int kBytesPerPixel = 4;
// X visuals have no alpha: the padding byte may hold anything.
constexpr std::uint32_t kColourMask = 0x00FFFFFFu;

// Formats whose pixels are the canvas's premultiplied BGRA bytes (an opaque
// frame is the same as straight colour), so rows copy and compare as they
// are.
bool SameLayout(const SDL_Surface& surface) {
    const std::uint32_t format = surface.format->format;
    return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

bool RowDiffers(const std::uint8_t* frame, const std::uint8_t* shown, int width) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::memcpy(&a, frame + x * kBytesPerPixel, sizeof(a));
        std::memcpy(&b, shown + x * kBytesPerPixel, sizeof(b));
        if (((a ^ b) & kColourMask) != 0)
            return true;
    }
    return false;
}

} // namespace

WindowSurface::~WindowSurface() = default;

CairoCanvas* WindowSurface::BeginFrame(float scale) {
    int width = 0;
    int height = 0;
    SDL_GetWindowSizeInPixels(m_window, &width, &height);
    if (width <= 0 || height <= 0)
        return nullptr;
    if (width != m_width || height != m_height || scale != m_scale || m_canvas == nullptr) {
        m_canvas.reset();
        m_width = width;
        m_height = height;
        m_scale = scale;
        m_pixels.assign(static_cast<std::size_t>(width) * height * kBytesPerPixel, 0);
        m_canvas = std::make_unique<CairoCanvas>(m_pixels.data(), width, height,
                                                 width * kBytesPerPixel, scale);
        if (!m_canvas->IsValid()) {
            m_canvas.reset();
            return nullptr;
        }
        m_whole = true;
    }
    return m_canvas.get();
}

void WindowSurface::Present() {
    SDL_Surface* surface = SDL_GetWindowSurface(m_window);
    if (surface == nullptr || m_canvas == nullptr)
        return;
    // Read the pixels only after Cairo has finished with them.
    m_canvas->PixelAt(0, 0);
    const int width = std::min(m_width, surface->w);
    const int height = std::min(m_height, surface->h);
    if (width <= 0 || height <= 0)
        return;
    const int frameStride = m_width * kBytesPerPixel;
    auto* shown = static_cast<std::uint8_t*>(surface->pixels);
    if (!SameLayout(*surface)) {
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, m_pixels.data(), frameStride,
                          surface->format->format, surface->pixels, surface->pitch);
        SDL_UpdateWindowSurface(m_window);
        m_whole = false;
        m_hasFrame = true;
        return;
    }
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    int first = 0;
    int last = height - 1;
    if (!m_whole) {
        while (first <= last && !RowDiffers(m_pixels.data() + first * frameStride,
                                            shown + first * surface->pitch, width))
            ++first;
        while (last >= first && !RowDiffers(m_pixels.data() + last * frameStride,
                                            shown + last * surface->pitch, width))
            --last;
    }
    for (int y = first; y <= last; ++y)
        std::memcpy(shown + y * surface->pitch, m_pixels.data() + y * frameStride,
                    static_cast<std::size_t>(width) * kBytesPerPixel);
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    if (first <= last) {
        const SDL_Rect band{0, first, width, last - first + 1};
        SDL_UpdateWindowSurfaceRects(m_window, &band, 1);
    }
    m_whole = false;
    m_hasFrame = true;
}

void WindowSurface::Reshow() {
    if (!m_hasFrame || m_whole)
        return;
    SDL_UpdateWindowSurface(m_window);
}

} // namespace Velto::Widget
