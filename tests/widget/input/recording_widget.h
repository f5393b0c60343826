#pragma once

#include "widget/core/widget.h"

#include <functional>
#include <string>
#include <vector>

namespace Velto::Widget {

// A widget that takes part in input routing as a test asks and writes down
// every notification as "<name>:<what>" in a log its tree shares.
class RecordingWidget : public Widget {
public:
    RecordingWidget(std::string name, std::vector<std::string>& log)
        : m_name(std::move(name)), m_log(log) {}

    const std::string& Name() const { return m_name; }

    bool focusable{false};
    bool hittable{false};
    bool takesAlt{false};
    bool allowsIme{false};
    char32_t accessKey{0};
    CursorShape cursor{CursorShape::Arrow};
    RectF caret;
    // What the handlers answer, and what they do first (remove a widget...).
    bool handleKeys{false};
    bool handlePointer{false};
    std::function<void()> onEvent;

    bool CanFocus() const override { return focusable; }
    bool TakesHitsItself() const override { return hittable; }
    bool TakesAltKey() const override { return takesAlt; }
    bool AllowsIme() const override { return allowsIme; }
    char32_t AccessKey() const override { return accessKey; }
    CursorShape Cursor() const override { return cursor; }
    RectF CaretRect() const override { return caret; }

    bool OnKeyDown(const KeyEvent& e) override {
        return Note("down" + std::to_string(e.virtualKey), handleKeys);
    }
    bool OnKeyUp(const KeyEvent& e) override {
        return Note("up" + std::to_string(e.virtualKey), handleKeys);
    }
    bool OnChar(const CharEvent& e) override {
        return Note("char" + std::to_string(static_cast<std::uint32_t>(e.character)), handleKeys);
    }
    bool OnIme(const ImeEvent& e) override {
        return Note("ime" + std::to_string(static_cast<int>(e.kind)), handleKeys);
    }
    void OnAccessKey() override {
        Note("access", false);
        RequestFocus(true);
    }
    void OnFocusChanged(bool focused) override { Note(focused ? "focus" : "blur", false); }
    bool OnPointerDown(const PointerEvent&) override { return Note("press", handlePointer); }
    bool OnPointerUp(const PointerEvent&) override { return Note("release", handlePointer); }
    bool OnPointerMove(const PointerEvent&) override { return Note("move", handlePointer); }
    bool OnWheel(const WheelEvent&) override { return Note("wheel", handlePointer); }
    void OnPointerEnter() override { Note("enter", false); }
    void OnPointerLeave() override { Note("leave", false); }
    void OnCaptureLost() override { Note("lost", false); }
    void DrawFocusVisual(Canvas&) override { Note("ring", false); }

private:
    bool Note(const std::string& what, bool answer) {
        m_log.push_back(m_name + ":" + what);
        if (onEvent) {
            // Run once: the action usually destroys something.
            const std::function<void()> action = std::move(onEvent);
            onEvent = nullptr;
            action();
        }
        return answer;
    }

    std::string m_name;
    std::vector<std::string>& m_log;
};

} // namespace Velto::Widget
