#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace Velto::Widget {
class Dialog;
}

namespace App {

// The screenshot mode's dialog captures: every dialog the program opens is
// rendered, once it shows, into <folder>/dialog-<title>.png and then closed
// as cancelled, so that the program goes on without anyone answering.
class DialogShots {
public:
    explicit DialogShots(std::string folder) : m_state(std::make_shared<State>()) {
        m_state->folder = std::move(folder);
    }

    // The file name for a dialog's title: every character of < > : " / \ |
    // ? * and the space becomes "_", and so does every control character.
    static std::string FileName(std::u16string_view title);

    // The kit's dialog hook: runs when a dialog's window exists; the capture
    // happens in the dialog's own loop, once it is shown.
    void OnDialog(Velto::Widget::Dialog& dialog, std::u16string_view title) const;

    // Appended to the file names of the dialogs that open from now on
    // ("-dark": dialog-<title>-dark.png), for a dialog taken more than once.
    void SetNameSuffix(std::string suffix) const { m_state->suffix = std::move(suffix); }

    std::size_t Saved() const { return m_state->saved; }
    std::size_t Failed() const { return m_state->failed; }
    const std::string& Folder() const { return m_state->folder; }

private:
    // Shared with the posted captures. UI thread only.
    struct State {
        std::string folder;
        std::string suffix;
        std::size_t saved{0};
        std::size_t failed{0};
    };

    std::shared_ptr<State> m_state;
};

} // namespace App
