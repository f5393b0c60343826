#include "widget/desktop/file_drop_target.h"

#include "widget/window/application.h"
#include "widget/window/window.h"

#include <algorithm>
#include <utility>

namespace Velto::Widget::Kit {

// The state the window's drop callbacks share with the posted task: the
// target may be unregistered between the drop and the task.
struct FileDropTarget::Impl {
    Handler handler;
    // The local files of the drop under way.
    std::vector<std::string> pending;
    bool active{true};
};

namespace {

// Only absolute local paths are files; anything else SDL hands on from a
// uri-list (a line without a scheme, say) is not.
bool IsLocalPath(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

bool IsLive(const Window* window) {
    const std::vector<Window*> windows = Application::Instance().Windows();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

} // namespace

FileDropTarget::FileDropTarget() = default;

FileDropTarget::~FileDropTarget() {
    Unregister();
}

bool FileDropTarget::Register(Window& window, Handler handler) {
    Unregister();
    if (!window.IsCreated())
        return false;
    auto impl = std::make_shared<Impl>();
    impl->handler = std::move(handler);

    const std::weak_ptr<Impl> weak = impl;
    DropHandlers drops;
    drops.begin = [weak](PointF) {
        if (const std::shared_ptr<Impl> state = weak.lock())
            state->pending.clear();
    };
    drops.file = [weak](const std::string& path, PointF) {
        const std::shared_ptr<Impl> state = weak.lock();
        if (state == nullptr || !IsLocalPath(path))
            return;
        state->pending.push_back(path);
    };
    drops.complete = [weak](PointF) {
        const std::shared_ptr<Impl> state = weak.lock();
        if (state == nullptr)
            return;
        std::vector<std::string> paths = std::move(state->pending);
        state->pending.clear();
        if (paths.empty())
            return;
        Application::Instance().Post([weak, paths = std::move(paths)]() mutable {
            const std::shared_ptr<Impl> target = weak.lock();
            if (target == nullptr || !target->active || !target->handler)
                return;
            // A copy: the handler may unregister the target it runs for.
            const Handler handler = target->handler;
            handler(std::move(paths));
        });
    };
    window.SetDropHandlers(std::move(drops));
    m_window = &window;
    m_impl = std::move(impl);
    return true;
}

void FileDropTarget::Unregister() {
    if (m_impl != nullptr)
        m_impl->active = false;
    if (m_window != nullptr && IsLive(m_window))
        m_window->SetDropHandlers({});
    m_window = nullptr;
    m_impl.reset();
}

} // namespace Velto::Widget::Kit
