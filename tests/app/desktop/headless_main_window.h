#pragma once

// A main window over a real service on a loopback port, drawn by the headless
// host: the window's root is held as a native window would hold it, and the
// tasks the worker and the widgets post run when the test pumps them.

#include "app/desktop/main_window.h"
#include "tests/support/service_fixture.h"
#include "widget/input/headless_host.h"
#include "widget/render/theme.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace App::Testing {

class HeadlessMainWindowTest : public Velto::Corvane::Testing::ServiceFixture {
protected:
    static constexpr Velto::Widget::SizeF kSize{MainWindow::kInitialWidth,
                                                MainWindow::kInitialHeight};

    void TearDown() override {
        window.reset();
        host.reset();
        content.reset();
        ServiceFixture::TearDown();
    }

    // The services that place the window's root on the headless host (light
    // or dark) and queue what is posted.
    WindowServices HeadlessServices(bool dark) {
        WindowServices services;
        services.setContent = [this, dark](std::unique_ptr<Velto::Widget::Widget> root) {
            host.reset();
            content = std::move(root);
            using Velto::Widget::kDefaultAccent;
            host = std::make_unique<Velto::Widget::HeadlessHost>(
                *content,
                dark ? Velto::Widget::DarkTheme(kDefaultAccent)
                     : Velto::Widget::LightTheme(kDefaultAccent),
                1.0f);
            host->Layout(kSize);
        };
        services.post = [this](std::function<void()> task) {
            const std::lock_guard lock(mutex);
            posted.push_back(std::move(task));
        };
        return services;
    }

    void Layout() { host->Layout(kSize); }

    // Runs what the worker and the widgets posted, until nothing is left and
    // the server is not starting or stopping.
    void Pump() {
        for (int round = 0; round < kPumpRounds; ++round) {
            window->Commands().Drain();
            std::deque<std::function<void()>> tasks;
            {
                const std::lock_guard lock(mutex);
                tasks.swap(posted);
            }
            if (tasks.empty() && !window->ServerBusy())
                break;
            for (auto& task : tasks)
                task();
        }
        Layout();
    }

    static constexpr int kPumpRounds = 50;

    std::uint16_t port{0};
    std::unique_ptr<Velto::Widget::Widget> content; // the window's root
    std::unique_ptr<Velto::Widget::HeadlessHost> host;
    std::unique_ptr<MainWindow> window;
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
};

} // namespace App::Testing
