#pragma once

// The real desktop window on a private X server (Xvfb with openbox) over a
// real service on a loopback port, for the window tests: one display and one
// toolkit start for the suite, a fresh service and window for each test, and
// clicks with the real pointer.

#include "app/desktop/desktop_window.h"
#include "tests/app/desktop/window_test_steps.h"
#include "tests/support/service_fixture.h"
#include "tests/support/xvfb_session.h"
#include "widget/window/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace App::Testing {

class DesktopWindowGuiFixture : public Velto::Corvane::Testing::ServiceFixture {
protected:
    // The display stays until the process ends: SDL keeps its connection.
    static void StartDisplay() {
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ::unsetenv("XMODIFIERS");
        s_x = new Velto::Testing::XvfbSession(Velto::Testing::XvfbOptions{.windowManager = true});
        ASSERT_TRUE(s_x->Start());
    }

    // Puts a zenity first on PATH that answers every picker with the path
    // written in the file VELTO_TEST_PICK names; `folderName` keeps suites apart.
    static void AnswerPickersFromFile(const std::string& folderName) {
        const std::string bin = std::filesystem::temp_directory_path() / folderName;
        std::filesystem::create_directories(bin);
        std::ofstream(bin + "/zenity") << "#!/bin/sh\ncat \"$VELTO_TEST_PICK\"\n";
        std::filesystem::permissions(bin + "/zenity", std::filesystem::perms::owner_all);
        ::setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);
    }

    void SetUp() override {
        ServiceFixture::SetUp();
        MakeService();
        port = Velto::Corvane::Testing::FreeLoopbackPort();
        ASSERT_TRUE(Service().ApplyConfig(BaseConfig(port)));
        g_openDialog = nullptr;
    }
    void TearDown() override {
        if (window)
            Service().Stop();
        window.reset();
        RunUntil([] { return true; });
        ServiceFixture::TearDown();
    }

    Velto::Widget::Widget* Root() { return window->Native().Root(); }

    // A new English window, shown and active, on `page`.
    void Open(MainWindow::PageId page) {
        window =
            std::make_unique<DesktopWindow>(Service(), MainWindow::Hooks{}, UiLanguage::English);
        ASSERT_TRUE(window->Create());
        window->Show(false);
        ASSERT_TRUE(RunUntil([this] { return window->Native().IsActive(); }));
        window->Main().ShowPage(page);
        RunUntil([] { return true; }, 0.2);
    }

    // Waits until the widget has been laid out where it can be clicked.
    template <typename T> T& Shown(std::u16string_view id) {
        T* found = nullptr;
        RunUntil([&] {
            found = FindById<T>(Root(), id);
            return found && !found->BoundsInWindow().IsEmpty();
        });
        EXPECT_NE(found, nullptr) << U8(id);
        return *found;
    }

    // Clicks the middle of a widget with the real pointer.
    void Click(Velto::Widget::Widget& widget) {
        const Velto::Widget::RectF box = widget.BoundsInWindow();
        const Velto::Widget::ScreenBounds client = window->Native().ClientScreenBounds();
        const float scale = window->Native().Dpi() / Velto::Widget::Window::kDefaultDpi;
        const int x = client.x + static_cast<int>((box.x + box.width / 2) * scale);
        const int y = client.y + static_cast<int>((box.y + box.height / 2) * scale);
        s_x->Run(
            {"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    }

    static inline Velto::Testing::XvfbSession* s_x = nullptr;
    std::uint16_t port{0};
    std::unique_ptr<DesktopWindow> window;
};

} // namespace App::Testing
