#include "widget/window/system_cursors.h"

#include <SDL2/SDL_mouse.h>

#include <array>

namespace Velto::Widget {
namespace {

constexpr int kShapeCount = 11;

SDL_SystemCursor SystemCursorOf(CursorShape shape) {
    switch (shape) {
    case CursorShape::Hand:
        return SDL_SYSTEM_CURSOR_HAND;
    case CursorShape::IBeam:
        return SDL_SYSTEM_CURSOR_IBEAM;
    case CursorShape::SizeWestEast:
        return SDL_SYSTEM_CURSOR_SIZEWE;
    case CursorShape::SizeNorthSouth:
        return SDL_SYSTEM_CURSOR_SIZENS;
    case CursorShape::Move:
        return SDL_SYSTEM_CURSOR_SIZEALL;
    case CursorShape::Wait:
        return SDL_SYSTEM_CURSOR_WAIT;
    case CursorShape::NotAllowed:
        return SDL_SYSTEM_CURSOR_NO;
    case CursorShape::Cross:
        return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case CursorShape::SizeNorthWestSouthEast:
        return SDL_SYSTEM_CURSOR_SIZENWSE;
    case CursorShape::SizeNorthEastSouthWest:
        return SDL_SYSTEM_CURSOR_SIZENESW;
    case CursorShape::Arrow:
        break;
    }
    return SDL_SYSTEM_CURSOR_ARROW;
}

} // namespace

void ShowSystemCursor(CursorShape shape) {
    // Made on the UI thread on first use; SDL frees them when it shuts down.
    static std::array<SDL_Cursor*, kShapeCount> cursors{};
    int index = static_cast<int>(shape);
    if (index < 0 || index >= kShapeCount)
        index = 0;
    auto& cursor = cursors[static_cast<std::size_t>(index)];
    if (cursor == nullptr)
        cursor = SDL_CreateSystemCursor(SystemCursorOf(static_cast<CursorShape>(index)));
    if (cursor != nullptr && SDL_GetCursor() != cursor)
        SDL_SetCursor(cursor);
}

} // namespace Velto::Widget
