#pragma once

#include "widget/dialogs/file_filter.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Velto::Widget::Kit {

// The window a picker belongs to. The dialog is placed over the X11 window
// (0: none), and while it is open `runUntil` (the UI loop's nested run,
// Application::RunUntil) keeps the program's windows alive; without it the
// calling thread simply waits.
struct PickerOwner {
    std::uint64_t x11Window{0};
    std::function<void(const std::function<bool()>& done)> runUntil;
};

// What the user is asked for.
struct PickRequest {
    enum class Mode { Folder, File, Many };
    Mode mode{Mode::File};
    // For Many: folders instead of files.
    bool folders{false};
    std::string title; // UTF-8
    std::string initialFolder;
    std::vector<FileFilter> filters;
    std::uint64_t owner{0};

    bool WantsFolders() const { return mode == Mode::Folder || (mode == Mode::Many && folders); }
    bool WantsMany() const { return mode == Mode::Many; }
};

// What one way of asking gave.
struct PickOutcome {
    enum class Kind {
        Chosen,      // `paths` as the dialog gave them
        Cancelled,   // the user closed the dialog: nothing else is tried
        Unavailable, // this way of asking does not work here: try the next
    };
    Kind kind{Kind::Unavailable};
    std::vector<std::string> paths;

    static PickOutcome Chosen(std::vector<std::string> paths) {
        return {Kind::Chosen, std::move(paths)};
    }
    static PickOutcome Cancelled() { return {Kind::Cancelled, {}}; }
    static PickOutcome Unavailable() { return {Kind::Unavailable, {}}; }
};

} // namespace Velto::Widget::Kit
