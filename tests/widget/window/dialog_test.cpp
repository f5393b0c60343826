// Modal dialogs over an owner window on a private X server with a window
// manager: keys and the close box end them with the right result, and the
// owner takes no input while they run.
#include "tests/widget/window/gui_rig.h"
#include "widget/core/stack.h"
#include "widget/render/theme.h"
#include "widget/window/dialog.h"
#include "widget/window/kit_settings.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace Velto::Widget::Testing {
namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

// The least a dialog button needs: a focusable widget that runs its click
// callback when pressed.
class TestButton : public Widget {
public:
    TestButton() {
        SetWidth(60);
        SetHeight(28);
    }
    void SetOnClick(std::function<void()> callback) { m_onClick = std::move(callback); }
    void Click() {
        ++clicks;
        if (m_onClick && IsEnabled())
            m_onClick();
    }
    bool CanFocus() const override { return true; }
    bool OnPointerDown(const PointerEvent&) override {
        Click();
        return true;
    }
    int clicks{0};

private:
    std::function<void()> m_onClick;
};

enum class Action { Enter, Escape, CloseBox };

constexpr std::int32_t kFailed = -1;

struct Case {
    const char* name;
    bool withDefault;
    bool withCancel;
    bool callerDecides; // the default button has result 0 and its own handler
    Action action;
    std::int32_t expected;
};

// What the test saw while the dialog ran, read on the UI thread.
struct Seen {
    bool ownerEnabled{true};
    int ownerModalCount{0};
    ScreenBounds dialog;
    ScreenBounds owner;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto root = std::make_unique<Probe>(400, 300);
        m_ownerProbe = root.get();
        m_owner.Create(Options(u"Owner", 400, 300));
        m_owner.SetThemeSource([] { return LightTheme(kDefaultAccent); });
        m_owner.SetRoot(std::move(root));
        m_owner.Show();
        ASSERT_TRUE(PumpUntil([&] { return m_owner.IsShown() && m_owner.IsActive(); }));
        Kit::KitSettings settings;
        settings.dialogHook = [this](Dialog& dialog, std::u16string_view) {
            m_dialogWindow = dialog.XWindow();
        };
        Kit::ConfigureKit(settings);
    }
    void TearDown() override { Kit::ConfigureKit({}); }

    // Shows the dialog and, from another thread, waits until it has the
    // focus, clicks the owner (which must do nothing there but hand the
    // focus back to the dialog), then acts.
    std::int32_t RunDialog(Dialog& dialog, Action action, Seen& seen) {
        // A dialog shown before keeps its window; the hook runs on the first.
        m_dialogWindow = dialog.IsCreated() ? dialog.XWindow() : 0;
        std::atomic<bool> checked{false};
        Driver driver([&] {
            const auto dialogFocused = [&] {
                return m_dialogWindow != 0 && FocusedXWindow() == m_dialogWindow.load();
            };
            // A step that never comes true fails the test instead of hanging it.
            const auto fail = [&](const char* step) {
                ADD_FAILURE() << step << ": focus on " << FocusedXWindow() << ", dialog "
                              << m_dialogWindow.load();
                Application::Instance().Post([&dialog] { dialog.EndDialog(kFailed); });
            };
            if (!WaitOnThread(dialogFocused))
                return fail("the dialog never took the focus");
            Application::Instance().Post([&] {
                seen.ownerEnabled = m_owner.IsEnabled();
                seen.ownerModalCount = m_owner.ModalDialogCount();
                seen.dialog = dialog.ClientScreenBounds();
                seen.owner = m_owner.ClientScreenBounds();
                checked = true;
            });
            if (!WaitOnThread([&] { return checked.load(); }))
                return fail("the loop never ran the check");
            const std::string x = std::to_string(seen.owner.x + 5);
            const std::string y = std::to_string(seen.owner.y + 5);
            Command({"xdotool", "mousemove", x, y, "click", "1"});
            if (!WaitOnThread(dialogFocused))
                return fail("the dialog did not take the focus back");
            switch (action) {
            case Action::Enter:
                Command({"xdotool", "key", "Return"});
                break;
            case Action::Escape:
                Command({"xdotool", "key", "Escape"});
                break;
            case Action::CloseBox:
                XLook().SendDeleteWindow(m_dialogWindow.load());
                break;
            }
        });
        return dialog.ShowModal(&m_owner, u"Question");
    }

    Window m_owner;
    Probe* m_ownerProbe{nullptr};
    std::atomic<unsigned long> m_dialogWindow{0};
};

TEST_F(DialogTest, KeysAndTheCloseBoxEndTheModalRun) {
    const Case cases[] = {
        {"Enter presses the default button", true, true, false, Action::Enter, 1},
        {"Escape presses the cancel button", true, true, false, Action::Escape, 7},
        {"Escape without a cancel button closes", true, false, false, Action::Escape, 2},
        {"the close box closes", true, true, false, Action::CloseBox, 2},
        {"a result of 0 leaves it to the caller", true, true, true, Action::Enter, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog dialog(320);
        dialog.Content().Add(std::make_unique<Probe>(200, 40));
        TestButton* ok = nullptr;
        if (c.withDefault)
            ok = dialog.AddButton(std::make_unique<TestButton>(), c.callerDecides ? 0 : 1, true,
                                  false);
        if (c.callerDecides)
            ok->SetOnClick([&dialog] { dialog.EndDialog(5); });
        if (c.withCancel)
            dialog.AddButton(std::make_unique<TestButton>(), 7, false, true);
        Seen seen;
        EXPECT_EQ(RunDialog(dialog, c.action, seen), c.expected);
        EXPECT_FALSE(seen.ownerEnabled);
        EXPECT_EQ(seen.ownerModalCount, 1);
        EXPECT_EQ(m_ownerProbe->presses, 0) << "the owner took a click while disabled";
        EXPECT_TRUE(m_owner.IsEnabled());
        EXPECT_EQ(m_owner.ModalDialogCount(), 0);
        EXPECT_FALSE(dialog.IsShown());
        // The dialog sits over the middle of its owner.
        const int dx =
            (seen.dialog.x + seen.dialog.width / 2) - (seen.owner.x + seen.owner.width / 2);
        const int dy =
            (seen.dialog.y + seen.dialog.height / 2) - (seen.owner.y + seen.owner.height / 2);
        EXPECT_LE(std::abs(dx), 2);
        EXPECT_LE(std::abs(dy), 2);
        EXPECT_EQ(seen.dialog.width, 320);
    }
}

TEST_F(DialogTest, ADialogCanBeShownAgainAfterItEnded) {
    Dialog dialog(300);
    dialog.AddButton(std::make_unique<TestButton>(), 1, true, false);
    Seen seen;
    EXPECT_EQ(RunDialog(dialog, Action::Escape, seen), 2);
    EXPECT_EQ(RunDialog(dialog, Action::Enter, seen), 1);
    EXPECT_EQ(m_owner.ModalDialogCount(), 0);
}

TEST_F(DialogTest, TheHeightFollowsTheContent) {
    Dialog dialog(300);
    dialog.Content().Add(std::make_unique<Probe>(100, 200));
    dialog.AddButton(std::make_unique<TestButton>(), 1, true, false);
    Seen seen;
    EXPECT_EQ(RunDialog(dialog, Action::Enter, seen), 1);
    // Margins 20 + 20, content 200, spacing 14, the button row 28.
    EXPECT_EQ(seen.dialog.height, 20 + 200 + 14 + 28 + 20);
}

// Window managers frame a dialog as one (no minimise or maximise button)
// and keep it with its owner.
TEST_F(DialogTest, IsMarkedAsADialogOfItsOwner) {
    Dialog dialog(300);
    dialog.AddButton(std::make_unique<TestButton>(), 1, true, false);
    Seen seen;
    EXPECT_EQ(RunDialog(dialog, Action::Enter, seen), 1);
    const std::string id = std::to_string(dialog.XWindow());
    EXPECT_EQ(Command({"xprop", "-id", id, "_NET_WM_WINDOW_TYPE"}),
              "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DIALOG");
    const std::string transient = Command({"xprop", "-id", id, "WM_TRANSIENT_FOR"});
    char owner[32];
    std::snprintf(owner, sizeof owner, "0x%lx", m_owner.XWindow());
    EXPECT_NE(transient.find(owner), std::string::npos) << transient;
}

// After a dialog closes, the owner's area it covered shows the owner again,
// even when the owner has a repaint pending as the expose arrives.
TEST_F(DialogTest, TheOwnerRepaintsWhatAClosedDialogUncovered) {
    const Color ownerFill = Color::FromRgb8(20, 60, 200);
    m_ownerProbe->SetFill(ownerFill);
    m_owner.RequestPaint();
    for (const Action action : {Action::Enter, Action::Escape, Action::CloseBox}) {
        SCOPED_TRACE(static_cast<int>(action));
        Dialog dialog(320);
        auto picture = std::make_unique<Probe>(280, 160);
        picture->SetFill(Color::FromRgb8(220, 30, 30));
        dialog.Content().Add(std::move(picture));
        dialog.AddButton(std::make_unique<TestButton>(), 1, true, false);
        dialog.AddButton(std::make_unique<TestButton>(), 7, false, true);
        Seen seen;
        RunDialog(dialog, action, seen);
        // What a caller does with the answer: change its page, which asks
        // for a repaint before the loop has read the expose.
        m_owner.RequestPaint();
        const XLook look;
        const auto ownerShown = [&] {
            int width = 0;
            int height = 0;
            const auto pixels = look.Pixels(m_owner.XWindow(), width, height);
            if (!pixels || pixels->empty())
                return false;
            for (const XLook::Rgb& pixel : *pixels)
                if (!(pixel == ToRgb(ownerFill)))
                    return false;
            return true;
        };
        EXPECT_TRUE(PumpUntil(ownerShown)) << "the closed dialog's picture stays on the owner";
    }
}

} // namespace
} // namespace Velto::Widget::Testing
