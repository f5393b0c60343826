// Message dialogs and the typed-path picker on a private X server with a
// window manager: the answers for buttons, keys and the close box, a path
// typed wrong and then right, and pictures of the dialogs in both themes.
#include "widget/dialogs/message_dialog.h"
#include "widget/dialogs/typed_path_picker.h"
#include "widget/window/dialog.h"
#include "widget/window/theme_choice.h"

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

// Last: it brings in Xlib and its macros.
#include "tests/widget/window/gui_rig.h"

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

using Kit::MessageButtons;
using Kit::MessageIcon;

// The open modal dialog, if any.
Dialog* OpenDialog() {
    for (Window* window : Application::Instance().Windows()) {
        auto* dialog = dynamic_cast<Dialog*>(window);
        if (dialog != nullptr && dialog->IsRunningModally() && dialog->IsShown())
            return dialog;
    }
    return nullptr;
}

int IgnoreXError(::Display*, XErrorEvent*) {
    return 0;
}

// Sends the close box's message; a window already gone is no error.
void CloseBox(const XLook& look, unsigned long window) {
    XSync(look.Get(), False);
    const auto previous = XSetErrorHandler(IgnoreXError);
    look.SendDeleteWindow(window);
    XSync(look.Get(), False);
    XSetErrorHandler(previous);
}

// Polls from the UI loop until a dialog shows, then runs the step there.
struct DialogWatch {
    std::function<void(Dialog&)> step;
    double deadline{0};
    bool done{false};
};

void Poll(const std::shared_ptr<DialogWatch>& watch) {
    if (watch->done)
        return;
    if (Dialog* dialog = OpenDialog()) {
        watch->done = true;
        watch->step(*dialog);
        return;
    }
    if (MonotonicSeconds() > watch->deadline)
        return;
    Application::Instance().Post([watch] { Poll(watch); });
}

// Runs `step` on the UI thread once a dialog shows (from inside its modal
// loop); gives up after the deadline.
void WhenDialogShows(std::function<void(Dialog&)> step) {
    auto watch = std::make_shared<DialogWatch>();
    watch->step = std::move(step);
    watch->deadline = MonotonicSeconds() + kDeadlineSeconds;
    Application::Instance().Post([watch] { Poll(watch); });
}

// Keys typed from another thread while the dialog's loop runs.
void TypeLater(std::vector<std::string> argv) {
    std::thread([argv = std::move(argv)] { Command(argv); }).detach();
}

void SavePicture(const XLook& look, unsigned long window, const std::string& name) {
    const char* dir = std::getenv("VELTO_WIDGET_SHOTS");
    if (dir == nullptr)
        return;
    int width = 0;
    int height = 0;
    const auto pixels = look.Pixels(window, width, height);
    if (!pixels)
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface));
    const int stride = cairo_image_surface_get_stride(surface) / 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const XLook::Rgb p = (*pixels)[static_cast<std::size_t>(y) * width + x];
            data[y * stride + x] = static_cast<std::uint32_t>((p.r << 16) | (p.g << 8) | p.b);
        }
    cairo_surface_mark_dirty(surface);
    cairo_surface_write_to_png(surface, (std::filesystem::path(dir) / name).c_str());
    cairo_surface_destroy(surface);
}

TEST(MessageDialogGui, ClosingWithoutAButtonGivesTheSafeAnswer) {
    XLook look;
    struct Case {
        MessageButtons buttons;
        std::int32_t result;
    };
    const Case cases[] = {{MessageButtons::YesNo, 7},
                          {MessageButtons::Ok, 1},
                          {MessageButtons::OkCancel, 2},
                          {MessageButtons::YesNoCancel, 2}};
    for (const Case& c : cases) {
        WhenDialogShows([&look](Dialog& dialog) { CloseBox(look, dialog.XWindow()); });
        EXPECT_EQ(Kit::ShowMessage(nullptr, u"Close box", u"Closed by the window's close box.",
                                   c.buttons, MessageIcon::Question),
                  c.result)
            << static_cast<int>(c.buttons);
    }
}

TEST(MessageDialogGui, KeysPressTheDefaultAndCancelButtons) {
    struct Case {
        MessageButtons buttons;
        bool defaultSecond;
        const char* key;
        std::int32_t result;
    };
    const Case cases[] = {
        {MessageButtons::YesNo, false, "Return", 6},
        {MessageButtons::YesNo, true, "Return", 7},
        {MessageButtons::YesNoCancel, false, "Escape", 2},
        {MessageButtons::OkCancel, false, "Escape", 2},
        {MessageButtons::Ok, false, "Escape", 1},
    };
    for (const Case& c : cases) {
        WhenDialogShows([&c](Dialog& dialog) {
            dialog.Activate();
            TypeLater({"xdotool", "sleep", "0.3", "key", c.key});
        });
        EXPECT_EQ(Kit::ShowMessage(nullptr, u"Keys", u"Answer with a key.", c.buttons,
                                   MessageIcon::Warning, c.defaultSecond),
                  c.result)
            << c.key;
    }
}

TEST(MessageDialogGui, PicturesInBothThemes) {
    XLook look;
    for (const auto choice : {Kit::ThemeChoice::Light, Kit::ThemeChoice::Dark}) {
        Kit::SetThemeChoice(choice);
        const std::string name = choice == Kit::ThemeChoice::Dark ? "dark" : "light";
        bool seen = false;
        WhenDialogShows([&](Dialog& dialog) {
            PumpFor(0.3);
            SavePicture(look, dialog.XWindow(), "message_dialog_" + name + ".png");
            seen = true;
            dialog.EndDialog(Dialog::kClosedResult);
        });
        Kit::ShowError(nullptr, u"VeltoCorvane",
                       u"The certificate could not be read. Check the file and its password.");
        EXPECT_TRUE(seen);
    }
    Kit::SetThemeChoice(Kit::ThemeChoice::System);
}

TEST(TypedPathPicker, AWrongPathIsExplainedAndARightOneTaken) {
    const std::string home = std::getenv("HOME");
    std::filesystem::create_directories(home + "/Shared");
    std::ofstream(home + "/notes.txt") << "x";
    Kit::PickRequest request;
    request.mode = Kit::PickRequest::Mode::Folder;
    request.title = "Choose a folder";
    WhenDialogShows([&](Dialog& dialog) {
        dialog.Activate();
        std::thread([&dialog] {
            Command({"xdotool", "sleep", "0.3", "type", "--delay", "20", "~/notes.txt"});
            Command({"xdotool", "key", "Return"});
            // The dialog stays, with the reason under the box.
            WaitOnThread([&] { return dialog.IsRunningModally(); });
            Command({"xdotool", "sleep", "0.3", "key", "ctrl+a", "BackSpace"});
            Command({"xdotool", "type", "--delay", "20", "~/Shared"});
            Command({"xdotool", "key", "Return"});
        }).detach();
    });
    const std::optional<std::string> path = Kit::AskTypedPath(nullptr, request);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, home + "/Shared");

    // Cancel gives nothing.
    WhenDialogShows([](Dialog& dialog) {
        dialog.Activate();
        TypeLater({"xdotool", "sleep", "0.3", "key", "Escape"});
    });
    EXPECT_EQ(Kit::AskTypedPath(nullptr, request), std::nullopt);
}

} // namespace
} // namespace Velto::Widget::Testing
