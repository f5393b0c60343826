#include "widget/window/window.h"

#include "base/utf.h"
#include "widget/render/bitmap.h"
#include "widget/render/cairo_canvas.h"
#include "widget/window/application.h"
#include "widget/window/monotonic_seconds.h"
#include "widget/window/sdl_input.h"
#include "widget/window/system_cursors.h"
#include "widget/window/tip_popup.h"
#include "widget/window/window_surface.h"
#include "widget/window/x11_window.h"

#include <SDL2/SDL.h>
#include <cairo.h>

#include <cmath>
#include <vector>

namespace Velto::Widget {
namespace {

constexpr int kMinPixels = 1;

int ToPixels(float dips, float scale) {
    return std::max(kMinPixels, static_cast<int>(std::lround(dips * scale)));
}

// The largest client area whose frame still fits the work area: the frame's
// size is known only once the window manager has framed the window, so a
// share of the area is kept for the title bar and borders.
ScreenBounds RoomForClient(const ScreenBounds& area) {
    if (area.IsEmpty())
        return {};
    return ScreenBounds{area.x, area.y, area.width - area.width / 20,
                        area.height - area.height / 10};
}

// The bitmap's premultiplied BGRA as straight ARGB, which SDL hands on to
// the window manager (_NET_WM_ICON).
struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

SurfacePtr StraightAlphaSurface(const Bitmap& bitmap) {
    cairo_surface_t* source = bitmap.NativeSurface();
    if (source == nullptr)
        return nullptr;
    cairo_surface_flush(source);
    const int width = cairo_image_surface_get_width(source);
    const int height = cairo_image_surface_get_height(source);
    const int stride = cairo_image_surface_get_stride(source);
    const unsigned char* pixels = cairo_image_surface_get_data(source);
    if (pixels == nullptr || width <= 0 || height <= 0)
        return nullptr;
    SurfacePtr surface(
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888));
    if (surface == nullptr)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = pixels + y * stride;
        auto* out = static_cast<unsigned char*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < width; ++x, in += 4, out += 4) {
            const unsigned alpha = in[3];
            for (int c = 0; c < 3; ++c)
                out[c] = alpha == 0 ? 0
                                    : static_cast<unsigned char>(
                                          std::min(255u, (in[c] * 255u + alpha / 2) / alpha));
            out[3] = static_cast<unsigned char>(alpha);
        }
    }
    return surface;
}

} // namespace

Window::Window() = default;

Window::~Window() {
    // No native hook may run once this part of the object is gone.
    ReleaseRoot();
    m_tip.reset();
    DestroyNative();
}

double Window::Now() const {
    return MonotonicSeconds();
}

bool Window::Create(const WindowOptions& options) {
    Application& app = Application::Instance();
    if (m_window != nullptr || !app.IsInitialized())
        return false;
    m_options = options;
    m_owner = options.owner;

    std::uint32_t flags = SDL_WINDOW_HIDDEN | ExtraCreateFlags();
    if (options.resizable && !IsPopup())
        flags |= SDL_WINDOW_RESIZABLE;
    if (options.frame == 1 || IsPopup())
        flags |= SDL_WINDOW_BORDERLESS;
    if (options.topmost)
        flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    if (options.toolWindow)
        flags |= SDL_WINDOW_SKIP_TASKBAR | SDL_WINDOW_UTILITY;

    int x = SDL_WINDOWPOS_UNDEFINED;
    int y = SDL_WINDOWPOS_UNDEFINED;
    if (options.hasBounds) {
        x = options.boundsX;
        y = options.boundsY;
    } else if (options.hasPosition) {
        x = options.x;
        y = options.y;
    }
    // The size follows once the window's DPI is known.
    const float guessScale = m_owner != nullptr ? m_owner->DpiScale() : 1.0f;
    const std::string title = Utf16ToUtf8(options.title);
    m_window = SDL_CreateWindow(title.c_str(), x, y, ToPixels(options.width, guessScale),
                                ToPixels(options.height, guessScale), flags);
    if (m_window == nullptr)
        return false;
    m_nativeId = SDL_GetWindowID(m_window);

    const float fixedDpi = app.Options().dpi;
    m_dpi = fixedDpi > 0 ? fixedDpi : X11::ReadXftDpi(m_window).value_or(kDefaultDpi);
    const float scale = m_dpi / kDefaultDpi;
    SetDpiScale(scale);
    const bool bounded = options.hasBounds && options.boundsWidth > 0 && options.boundsHeight > 0;
    ScreenBounds wanted{x, y, bounded ? options.boundsWidth : ToPixels(options.width, scale),
                        bounded ? options.boundsHeight : ToPixels(options.height, scale)};
    // A window larger than its monitor's work area (a large scale, a size
    // kept from a bigger screen) is made to fit, frame included, and goes to
    // the middle of the area.
    const ScreenBounds area = IsPopup() ? ScreenBounds{} : WorkArea();
    const ScreenBounds room = RoomForClient(area);
    const bool fitted =
        !room.IsEmpty() && (wanted.width > room.width || wanted.height > room.height);
    if (fitted) {
        wanted.width = std::min(wanted.width, room.width);
        wanted.height = std::min(wanted.height, room.height);
        wanted.x = area.x + (area.width - wanted.width) / 2;
        wanted.y = area.y + (area.height - wanted.height) / 2;
    }
    SDL_SetWindowSize(m_window, wanted.width, wanted.height);
    if (options.minWidth > 0 || options.minHeight > 0) {
        // The smallest size never exceeds what fits either.
        const float fitWidth =
            room.IsEmpty() ? options.minWidth : static_cast<float>(room.width) / scale;
        const float fitHeight =
            room.IsEmpty() ? options.minHeight : static_cast<float>(room.height) / scale;
        SetMinimumClientSize(
            SizeF{std::min(options.minWidth, fitWidth), std::min(options.minHeight, fitHeight)});
    }
    // The bounds are the client area; a position alone is the frame's.
    if (fitted)
        SDL_SetWindowPosition(m_window, wanted.x, wanted.y);
    if (!IsPopup() && (bounded || fitted))
        X11::MoveClientTo(m_window, wanted.x, wanted.y);

    const std::string& appName = app.Options().appName;
    X11::SetClassHint(m_window, options.resName.empty() ? appName : options.resName,
                      options.resClass.empty() ? appName : options.resClass);
    if (IsPopup()) {
        X11::SetOverrideRedirect(m_window);
    } else {
        X11::SetFrameFunctions(m_window,
                               X11::FrameFunctions{options.frame != 1, options.resizable,
                                                   options.minimizable, options.maximizable});
        if (m_owner != nullptr && m_owner->m_window != nullptr)
            X11::SetTransientFor(m_window, m_owner->m_window);
        if (options.dialog)
            X11::SetDialogType(m_window);
        if (!options.activatable)
            X11::SetNoFocusOnMap(m_window);
    }

    m_surface = std::make_unique<WindowSurface>(m_window);
    app.RegisterWindow(*this, m_nativeId);
    SetDpiScale(scale);
    UpdateClientSize();
    RefreshTheme();
    UpdateLayout();
    return true;
}

void Window::DestroyNative() {
    if (m_window == nullptr)
        return;
    if (m_tip != nullptr)
        m_tip->Hide();
    Application::Instance().UnregisterWindow(*this);
    m_surface.reset();
    SDL_DestroyWindow(m_window);
    m_window = nullptr;
    m_nativeId = 0;
    m_shown = false;
    m_active = false;
    m_timerDue.reset();
}

void Window::Close() {
    if (m_window == nullptr)
        return;
    DestroyNative();
    if (m_onDestroyed) {
        // The handler may destroy this window object; it runs last.
        const std::function<void()> handler = m_onDestroyed;
        handler();
    }
}

void Window::RequestClose() {
    if (m_window == nullptr)
        return;
    if (!m_enabled) {
        RaiseModalDialog();
        return;
    }
    if (OnCloseRequest())
        return;
    if (m_closeHook && !m_closeHook())
        return;
    Close();
}

void Window::Show() {
    Show(m_options.activateOnShow && m_options.activatable);
}

void Window::Show(bool activate) {
    if (m_window == nullptr)
        return;
    // The first frame is ready before the window appears.
    RenderNow();
    if (IsPopup()) {
        X11::MapRaised(m_window);
    } else {
        if (!activate)
            X11::SetNoFocusOnMap(m_window);
        SDL_ShowWindow(m_window);
        if (activate)
            Activate();
    }
    m_shown = true;
    m_surface->Reshow();
}

void Window::Hide() {
    if (m_window == nullptr)
        return;
    DismissTooltip();
    if (IsPopup())
        X11::Unmap(m_window);
    else
        SDL_HideWindow(m_window);
    m_shown = false;
    m_active = false;
}

void Window::Activate() {
    if (m_window == nullptr || IsPopup() || !m_options.activatable)
        return;
    SDL_RaiseWindow(m_window);
    X11::RequestActivation(m_window);
}

unsigned long Window::XWindow() const {
    return X11::XWindowOf(m_window);
}

void Window::SetTitle(std::u16string_view title) {
    m_options.title = std::u16string(title);
    if (m_window != nullptr)
        SDL_SetWindowTitle(m_window, Utf16ToUtf8(title).c_str());
}

void Window::SetIcon(const Bitmap& icon) {
    if (m_window == nullptr)
        return;
    if (SurfacePtr surface = StraightAlphaSurface(icon))
        SDL_SetWindowIcon(m_window, surface.get());
}

void Window::ResizeClient(SizeF size) {
    if (m_window == nullptr)
        return;
    const ScreenBounds bounds{0, 0, ToPixels(size.width, DpiScale()),
                              ToPixels(size.height, DpiScale())};
    if (IsPopup()) {
        const ScreenBounds current = ClientScreenBounds();
        X11::MoveResize(m_window, ScreenBounds{current.x, current.y, bounds.width, bounds.height});
    }
    SDL_SetWindowSize(m_window, bounds.width, bounds.height);
    UpdateClientSize();
}

void Window::SetMinimumClientSize(SizeF size) {
    m_options.minWidth = size.width;
    m_options.minHeight = size.height;
    if (m_window != nullptr)
        SDL_SetWindowMinimumSize(m_window, ToPixels(size.width, DpiScale()),
                                 ToPixels(size.height, DpiScale()));
}

void Window::MoveTo(int x, int y) {
    if (m_window == nullptr)
        return;
    if (IsPopup()) {
        const ScreenBounds current = ClientScreenBounds();
        X11::MoveResize(m_window, ScreenBounds{x, y, current.width, current.height});
        SDL_SetWindowPosition(m_window, x, y);
        return;
    }
    // SDL would place the frame's corner; the caller means the client area.
    if (!X11::MoveClientTo(m_window, x, y))
        SDL_SetWindowPosition(m_window, x, y);
}

ScreenBounds Window::ClientScreenBounds() const {
    if (m_window == nullptr)
        return {};
    if (const std::optional<ScreenBounds> bounds = X11::ClientBoundsOf(m_window))
        return *bounds;
    ScreenBounds bounds;
    SDL_GetWindowPosition(m_window, &bounds.x, &bounds.y);
    SDL_GetWindowSizeInPixels(m_window, &bounds.width, &bounds.height);
    return bounds;
}

ScreenBounds Window::WorkArea() const {
    int display = m_window != nullptr ? SDL_GetWindowDisplayIndex(m_window) : 0;
    if (display < 0)
        display = 0;
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(display, &area) != 0)
        return {};
    return ScreenBounds{area.x, area.y, area.w, area.h};
}

void Window::SetEnabled(bool enabled) {
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    if (!enabled) {
        DismissTooltip();
        if (Capture() != nullptr)
            SetCapture(nullptr);
    }
}

void Window::SetDropHandlers(DropHandlers handlers) {
    m_dropHandlers = std::move(handlers);
}

void Window::SetTheme(const Theme& theme) {
    InputRouter::SetTheme(theme);
    if (m_tip != nullptr)
        m_tip->SetTheme(theme);
}

void Window::RequestNativeRepaint() {
    // The loop paints every window with a pending frame after each pass.
}

void Window::ArmNativeTimer(double seconds) {
    m_timerDue = Now() + std::max(0.0, seconds);
}

void Window::StopNativeTimer() {
    m_timerDue.reset();
}

void Window::FireNativeTimer() {
    m_timerDue.reset();
    FireTimers();
}

void Window::SetNativeCursor(CursorShape shape) {
    if (m_window != nullptr)
        ShowSystemCursor(shape);
}

void Window::ShowTooltip(std::u16string_view text, PointF pointer) {
    if (m_window == nullptr || !m_shown)
        return;
    // No tip while a menu or list is open: it would cover the items.
    for (const Window* window : Application::Instance().Windows())
        if (window->ClosesOnOutsideClick())
            return;
    if (m_tip == nullptr) {
        m_tip = std::make_unique<TipPopup>(*this);
        m_tip->SetTheme(GetTheme());
    }
    const TooltipOptions options = GetTooltipOptions().value_or(TooltipOptions{});
    const ScreenBounds client = ClientScreenBounds();
    const int x =
        client.x + static_cast<int>(std::lround(pointer.x * DpiScale() + options.offsetX));
    const int y =
        client.y + static_cast<int>(std::lround(pointer.y * DpiScale() + options.offsetY));
    m_tip->ShowText(text, x, y, options.maxWidth);
}

void Window::HideTooltip() {
    if (m_tip != nullptr)
        m_tip->Hide();
}

void Window::SetNativeCapture(bool captured) {
    if (m_window != nullptr)
        SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}

void Window::PlaceImeWindow(const RectF& caret) {
    SDL_Rect rect{static_cast<int>(std::lround(caret.x)), static_cast<int>(std::lround(caret.y)),
                  std::max(1, static_cast<int>(std::lround(caret.width))),
                  std::max(1, static_cast<int>(std::lround(caret.height)))};
    SDL_SetTextInputRect(&rect);
}

void Window::UpdateClientSize() {
    if (m_window == nullptr)
        return;
    int width = 0;
    int height = 0;
    SDL_GetWindowSizeInPixels(m_window, &width, &height);
    SetClientSize(
        SizeF{static_cast<float>(width) / DpiScale(), static_cast<float>(height) / DpiScale()});
}

void Window::PaintIfPending() {
    if (!PaintPending() || !m_shown)
        return;
    OnBeforeFrame();
    RenderNow();
}

void Window::RenderNow() {
    if (m_surface == nullptr)
        return;
    CairoCanvas* canvas = m_surface->BeginFrame(DpiScale());
    if (canvas == nullptr)
        return;
    Frame(*canvas);
    m_surface->Present();
}

PointF Window::PointerInClient() const {
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    const ScreenBounds client = ClientScreenBounds();
    return ToDips(static_cast<float>(x - client.x), static_cast<float>(y - client.y));
}

bool Window::AcceptsInput() const {
    return m_enabled && m_window != nullptr;
}

void Window::RaiseModalDialog() {
    for (Window* window : Application::Instance().Windows()) {
        if (window->m_owner == this && window->m_shown && !window->IsPopup()) {
            window->Activate();
            return;
        }
    }
}

void Window::TellOwnedPopups() {
    for (Window* window : Application::Instance().Windows())
        if (window->m_owner == this && window->IsPopup())
            window->OnOwnerMovedOrDeactivated();
}

void Window::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_WINDOWEVENT:
        HandleWindowEvent(event);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        HandleKey(event);
        break;
    case SDL_TEXTINPUT:
        if (AcceptsInput())
            HandleText(event);
        break;
    case SDL_TEXTEDITING:
        if (AcceptsInput())
            HandleEditing(Utf8ToUtf16(event.edit.text), event.edit.start, event.edit.length);
        break;
    case SDL_TEXTEDITING_EXT:
        if (AcceptsInput() && event.editExt.text != nullptr)
            HandleEditing(Utf8ToUtf16(event.editExt.text), event.editExt.start,
                          event.editExt.length);
        break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
        HandlePointer(event);
        break;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
        HandleDrop(event);
        break;
    default:
        break;
    }
}

void Window::HandleWindowEvent(const SDL_Event& event) {
    switch (event.window.event) {
    case SDL_WINDOWEVENT_SHOWN:
        m_shown = true;
        break;
    case SDL_WINDOWEVENT_HIDDEN:
        m_shown = false;
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        // The uncovered area holds whatever covered it (a closed dialog,
        // say): the whole frame goes to the screen again, not only the rows
        // that a pending repaint changes.
        if (m_surface == nullptr)
            break;
        if (PaintPending()) {
            m_surface->Invalidate();
            RenderNow();
        } else
            m_surface->Reshow();
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        UpdateClientSize();
        if (m_surface != nullptr)
            m_surface->Invalidate();
        // Paint at once, so that the new area never shows stale pixels.
        if (m_shown)
            RenderNow();
        break;
    case SDL_WINDOWEVENT_MOVED:
        DismissTooltip();
        TellOwnedPopups();
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        m_active = true;
        RequestPaint();
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        m_active = false;
        DismissTooltip();
        if (Capture() != nullptr)
            CaptureLost();
        TellOwnedPopups();
        RequestPaint();
        break;
    case SDL_WINDOWEVENT_LEAVE:
        PointerLeave();
        break;
    case SDL_WINDOWEVENT_CLOSE:
        RequestClose();
        break;
    default:
        break;
    }
}

void Window::HandleKey(const SDL_Event& event) {
    if (!AcceptsInput())
        return;
    const SDL_Keysym& key = event.key.keysym;
    const KeyEvent translated = KeyEventOf(key.sym, key.scancode, key.mod, event.key.repeat != 0);
    if (translated.virtualKey == 0)
        return;
    if (event.type == SDL_KEYDOWN)
        KeyDown(translated);
    else
        KeyUp(translated);
}

void Window::HandleText(const SDL_Event& event) {
    const std::u16string text = Utf8ToUtf16(event.text.text);
    if (text.empty())
        return;
    if (m_composing) {
        m_composing = false;
        ImeEvent commit;
        commit.kind = ImeEventKind::ResultCommitted;
        commit.text = text;
        const bool taken = Ime(commit);
        ImeEvent end;
        end.kind = ImeEventKind::CompositionEnded;
        Ime(end);
        if (taken)
            return;
    }
    const std::uint32_t modifiers = ModifiersOf(static_cast<std::uint16_t>(SDL_GetModState()));
    const bool withAlt = (modifiers & kModAlt) != 0 && (modifiers & kModCtrl) == 0;
    // Char pairs surrogates itself; hand it the units one by one.
    for (const char16_t unit : text) {
        CharEvent character;
        character.character = unit;
        character.modifiers = modifiers;
        character.typedWithAlt = withAlt;
        Char(character);
    }
}

void Window::HandleEditing(std::u16string text, int start, int length) {
    if (!m_composing && text.empty())
        return;
    if (!m_composing) {
        m_composing = true;
        ImeEvent started;
        started.kind = ImeEventKind::CompositionStarted;
        Ime(started);
    }
    ImeEvent changed;
    changed.kind = ImeEventKind::CompositionChanged;
    changed.cursor = Utf16OffsetOf(text, start);
    changed.attributes.assign(text.size(), 0);
    if (length > 0) {
        const std::size_t from = static_cast<std::size_t>(changed.cursor);
        const std::size_t to = static_cast<std::size_t>(Utf16OffsetOf(text, start + length));
        for (std::size_t i = from; i < to && i < changed.attributes.size(); ++i)
            changed.attributes[i] = 1; // the clause being converted
    }
    const bool ended = text.empty();
    changed.text = std::move(text);
    Ime(changed);
    if (ended) {
        m_composing = false;
        ImeEvent end;
        end.kind = ImeEventKind::CompositionEnded;
        Ime(end);
    }
}

void Window::HandlePointer(const SDL_Event& event) {
    if (!AcceptsInput()) {
        if (event.type == SDL_MOUSEBUTTONDOWN)
            RaiseModalDialog();
        return;
    }
    const std::uint32_t modifiers = ModifiersOf(static_cast<std::uint16_t>(SDL_GetModState()));
    switch (event.type) {
    case SDL_MOUSEMOTION: {
        PointerEvent pointer;
        pointer.position =
            ToDips(static_cast<float>(event.motion.x), static_cast<float>(event.motion.y));
        pointer.modifiers = modifiers;
        pointer.source =
            event.motion.which == SDL_TOUCH_MOUSEID ? PointerSource::Touch : PointerSource::Mouse;
        PointerMove(pointer);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        PointerEvent pointer;
        pointer.position =
            ToDips(static_cast<float>(event.button.x), static_cast<float>(event.button.y));
        pointer.button = PointerButtonOf(event.button.button);
        if (pointer.button == PointerButton::None)
            return;
        pointer.modifiers = modifiers;
        pointer.source =
            event.button.which == SDL_TOUCH_MOUSEID ? PointerSource::Touch : PointerSource::Mouse;
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            pointer.clickCount = ClickCountOf(event.button.clicks);
            PointerDown(pointer);
        } else {
            PointerUp(pointer);
        }
        break;
    }
    case SDL_MOUSEWHEEL: {
        const float flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
        WheelEvent wheel;
        wheel.position =
            ToDips(static_cast<float>(event.wheel.mouseX), static_cast<float>(event.wheel.mouseY));
        wheel.horizontal = event.wheel.preciseX * flip;
        wheel.vertical = event.wheel.preciseY * flip;
        const auto fraction = [](float v) { return v != 0 && std::fabs(v) < 1; };
        wheel.precise = fraction(wheel.horizontal) || fraction(wheel.vertical);
        wheel.modifiers = modifiers;
        Wheel(wheel);
        break;
    }
    default:
        break;
    }
}

void Window::HandleDrop(const SDL_Event& event) {
    if (!AcceptsInput())
        return;
    const PointF point = PointerInClient();
    switch (event.type) {
    case SDL_DROPBEGIN:
        if (m_dropHandlers.begin)
            m_dropHandlers.begin(point);
        break;
    case SDL_DROPFILE:
        if (m_dropHandlers.file && event.drop.file != nullptr)
            m_dropHandlers.file(event.drop.file, point);
        break;
    case SDL_DROPTEXT:
        if (m_dropHandlers.text && event.drop.file != nullptr)
            m_dropHandlers.text(event.drop.file, point);
        break;
    case SDL_DROPCOMPLETE:
        if (m_dropHandlers.complete)
            m_dropHandlers.complete(point);
        break;
    default:
        break;
    }
}

} // namespace Velto::Widget
