#pragma once

// Finding widgets in a tree by automation id, accessible name or type, for
// the desktop tests with a window and without one.

#include "base/utf.h"
#include "widget/core/widget.h"

#include <string>
#include <string_view>

namespace App::Testing {

inline std::string U8(std::u16string_view text) {
    return Velto::Utf16ToUtf8(text);
}

// Visits the widget and its descendants depth first; the first that `match`
// accepts and that is a T is returned.
template <typename T, typename Match>
T* FindInTree(Velto::Widget::Widget* widget, const Match& match) {
    if (!widget)
        return nullptr;
    if (match(*widget)) {
        if (T* found = dynamic_cast<T*>(widget))
            return found;
    }
    for (const auto& child : widget->Children()) {
        if (T* found = FindInTree<T>(child.get(), match))
            return found;
    }
    return nullptr;
}

template <typename T> T* FindById(Velto::Widget::Widget* widget, std::u16string_view id) {
    return FindInTree<T>(widget,
                         [id](const Velto::Widget::Widget& w) { return w.AutomationId() == id; });
}

template <typename T> T* FindByName(Velto::Widget::Widget* widget, std::u16string_view name) {
    return FindInTree<T>(
        widget, [name](const Velto::Widget::Widget& w) { return w.AccessibleName() == name; });
}

template <typename T> T* FindFirst(Velto::Widget::Widget* widget) {
    return FindInTree<T>(widget, [](const Velto::Widget::Widget&) { return true; });
}

template <typename T> T* FindById(Velto::Widget::Widget& widget, std::u16string_view id) {
    return FindById<T>(&widget, id);
}
template <typename T> T* FindByName(Velto::Widget::Widget& widget, std::u16string_view name) {
    return FindByName<T>(&widget, name);
}
template <typename T> T* FindFirst(Velto::Widget::Widget& widget) {
    return FindFirst<T>(&widget);
}

} // namespace App::Testing
