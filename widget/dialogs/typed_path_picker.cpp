#include "widget/dialogs/typed_path_picker.h"

#include "base/diag_log.h"
#include "base/environment_variable.h"
#include "base/utf.h"
#include "widget/controls/button.h"
#include "widget/controls/text_box.h"
#include "widget/core/label.h"
#include "widget/core/stack.h"
#include "widget/dialogs/typed_path_check.h"
#include "widget/menu/context_menu.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"
#include "widget/window/standard_labels.h"
#include "widget/window/system_clipboard.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace Velto::Widget::Kit {
namespace {

constexpr float kDialogWidth = 480;
constexpr std::int32_t kTaken = 1;
// How often a waiting thread looks whether the UI loop has ended.
constexpr auto kQuitPoll = std::chrono::milliseconds(100);

void LogUnavailable(const PickRequest& request) {
    Net::DiagLog::Instance().Log(
        Net::LogLevel::Warning, u"Kit",
        std::string_view(request.WantsFolders()
                             ? "no folder picker: no portal, zenity or kdialog, and no display "
                               "for the toolkit's own dialog"
                             : "no file picker: no portal, zenity or kdialog, and no display "
                               "for the toolkit's own dialog"));
}

// The toolkit window that is the X window the request names.
Window* WindowOf(std::uint64_t xWindow) {
    if (xWindow == 0)
        return nullptr;
    for (Window* window : Application::Instance().Windows()) {
        if (window->XWindow() == xWindow)
            return window;
    }
    return nullptr;
}

std::u16string FilterHint(const PickRequest& request) {
    std::u16string hint;
    for (const FileFilter& filter : request.filters) {
        if (!hint.empty())
            hint += u", ";
        hint += filter.description + u" (" + filter.pattern + u")";
    }
    return hint;
}

Controls::TextClipboard DesktopClipboard(Window& window) {
    Controls::TextClipboard clipboard;
    clipboard.read = [&window]() -> std::optional<std::u16string> {
        std::u16string text;
        if (!TheSystemClipboard().GetText(&window, text))
            return std::nullopt;
        return text;
    };
    clipboard.write = [&window](std::u16string_view text) {
        return TheSystemClipboard().SetText(&window, text);
    };
    clipboard.hasText = [] { return TheSystemClipboard().HasText(); };
    return clipboard;
}

} // namespace

std::optional<std::string> AskTypedPath(Window* owner, const PickRequest& request) {
    const int language = LabelLanguage();
    Dialog dialog(kDialogWidth);
    Stack& content = dialog.Content();

    content.Add(
        std::make_unique<Label>(TypedPathPrompt(request, static_cast<std::size_t>(language))));
    auto* box = content.Add(std::make_unique<Controls::TextBox>());
    box->SetHorizontalAlignment(Alignment::Stretch);
    const std::string home = EnvironmentVariable("HOME");
    if (!request.initialFolder.empty())
        box->SetText(Utf8ToUtf16(request.initialFolder));
    else if (!home.empty())
        box->SetPlaceholder(Utf8ToUtf16(home));
    box->SelectAll();
    box->SetClipboard(DesktopClipboard(dialog));
    const std::u16string hint = FilterHint(request);
    if (!hint.empty()) {
        auto* filters = content.Add(std::make_unique<Label>(hint, TextStyle::Caption));
        filters->SetTone(Tone::Secondary);
        filters->SetWrap(true);
    }
    auto* problem = content.Add(std::make_unique<Label>(std::u16string(), TextStyle::Caption));
    problem->SetTone(Tone::Critical);
    problem->SetWrap(true);
    problem->SetVisible(false);

    // The text box's edit menu.
    Menus::ContextMenu editMenu;
    box->SetContextMenuHandler([&](std::vector<MenuItem> items, PointF at) {
        const RectF bounds = box->BoundsInWindow();
        editMenu.SetItems(std::move(items));
        editMenu.SetOnItemChosen([box, &dialog](MenuItem item) {
            // The choice arrives from the loop; the dialog may have ended.
            if (dialog.IsRunningModally())
                box->ExecuteEditCommand(item.id);
        });
        editMenu.Show(dialog, PointF{bounds.x + at.x, bounds.y + at.y});
    });

    std::string chosen;
    auto* ok = dialog.AddButton(std::make_unique<Button>(std::u16string(StandardLabel(kLabelOk))),
                                0, true, false);
    ok->SetOnClick([&] {
        const TypedPathCheck check = CheckTypedPath(box->GetText(), request);
        if (check.problem == TypedPathProblem::None) {
            chosen = check.path;
            dialog.EndDialog(kTaken);
            return;
        }
        const std::u16string message =
            TypedPathMessage(check, request, static_cast<std::size_t>(language));
        problem->SetText(message);
        problem->SetVisible(true);
        box->SetErrorText(message);
        box->RequestFocus(true);
    });
    box->SetOnTextChanged([&] {
        problem->SetVisible(false);
        box->SetErrorText({});
    });
    dialog.AddButton(std::make_unique<Button>(std::u16string(StandardLabel(kLabelCancel)),
                                              Dialog::kClosedResult),
                     Dialog::kClosedResult, false, true);
    dialog.SetInitialFocus(box);

    const std::u16string title = Utf8ToUtf16(request.title);
    const std::int32_t result = dialog.ShowModal(owner, title);
    editMenu.Close();
    if (result != kTaken)
        return std::nullopt;
    return chosen;
}

PickOutcome PickWithTypedPath(const PickRequest& request) {
    Application& app = Application::Instance();
    if (!app.IsInitialized() || app.QuitRequested() || app.Options().dummyVideo) {
        LogUnavailable(request);
        return PickOutcome::Unavailable();
    }
    const auto ask = [request] {
        std::optional<std::string> path = AskTypedPath(WindowOf(request.owner), request);
        if (!path)
            return PickOutcome::Cancelled();
        return PickOutcome::Chosen({std::move(*path)});
    };
    if (app.IsUiThread())
        return ask();

    // Asked from a picker thread while the owner's loop runs: the dialog
    // runs in that loop, and this thread waits for its answer or the end of
    // the loop.
    struct Answer {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<PickOutcome> outcome; // guarded by mutex
    };
    auto answer = std::make_shared<Answer>();
    app.Post([answer, ask] {
        PickOutcome outcome = ask();
        {
            const std::lock_guard lock(answer->mutex);
            answer->outcome = std::move(outcome);
        }
        answer->ready.notify_all();
    });
    std::unique_lock lock(answer->mutex);
    while (!answer->outcome) {
        if (app.QuitRequested())
            return PickOutcome::Cancelled();
        answer->ready.wait_for(lock, kQuitPoll);
    }
    return std::move(*answer->outcome);
}

} // namespace Velto::Widget::Kit
