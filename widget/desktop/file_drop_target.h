#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Velto::Widget {
class Window;
} // namespace Velto::Widget

namespace Velto::Widget::Kit {

// Accepts files dragged onto a toolkit window from a file manager (X drag
// and drop, text/uri-list). The local paths of one drop reach the handler
// together, from a task on the UI thread that runs after the drop has been
// answered, never inside the drag-and-drop exchange. A drop that carries no
// local file (text, remote URIs) calls nothing.
class FileDropTarget {
public:
    using Handler = std::function<void(std::vector<std::string> paths)>;

    FileDropTarget();
    ~FileDropTarget();
    FileDropTarget(const FileDropTarget&) = delete;
    FileDropTarget& operator=(const FileDropTarget&) = delete;

    // Unregisters first. False when the window has no native window yet.
    bool Register(Window& window, Handler handler);
    // Stops listening; a drop already handed to the UI queue is dropped too.
    void Unregister();
    bool IsRegistered() const { return m_window != nullptr; }

    struct Impl;

private:
    Window* m_window{nullptr};
    std::shared_ptr<Impl> m_impl;
};

} // namespace Velto::Widget::Kit
