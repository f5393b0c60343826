// The accounts, access-log and settings pages in the real window on a
// private X server (Xvfb with openbox), over a real service on a loopback
// port: Apply moves a running server to a new port and turns HTTPS on with
// the self-signed certificate, a visitor's download shows in the log within
// a few seconds, and an account added through the real dialog signs in.

#include "app/desktop/desktop_window.h"
#include "app/texts/text_table.h"
#include "base/utf.h"
#include "server/cert/self_signed_certificate.h"
#include "service/corvane_service.h"
#include "tests/app/desktop/desktop_window_gui_fixture.h"
#include "tests/support/http_client.h"
#include "tests/support/service_fixture.h"
#include "tests/support/xvfb_session.h"
#include "widget/controls/button.h"
#include "widget/controls/check_box.h"
#include "widget/controls/number_box.h"
#include "widget/controls/text_box.h"
#include "widget/core/label.h"
#include "widget/list/list_view.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace App {
namespace {

using namespace Velto::Widget;
using Velto::Corvane::Config;
using Velto::Corvane::ServiceStatus;

using namespace App::Testing;

void CollectTextBoxes(Widget* widget, std::vector<Controls::TextBox*>& boxes) {
    if (auto* box = dynamic_cast<Controls::TextBox*>(widget))
        boxes.push_back(box);
    for (const auto& child : widget->Children())
        CollectTextBoxes(child.get(), boxes);
}

class PagesGuiTest : public DesktopWindowGuiFixture {
protected:
    static void SetUpTestSuite() {
        StartDisplay();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(StartToolkitForWindowTests());
    }
};

TEST_F(PagesGuiTest, ApplyMovesTheServerToANewPortAndThenServesHttps) {
    ASSERT_EQ(Service().Start(), 0);
    Open(MainWindow::kSettingsPage);

    const std::uint16_t newPort = Velto::Corvane::Testing::FreeLoopbackPort();
    Shown<Controls::NumberBox>(u"settings.port").SetValue(newPort);
    // Apply lies below the window's fold at its first size: pressed directly.
    Shown<Button>(u"settings.apply").Click();
    ASSERT_TRUE(RunUntil([&] {
        const ServiceStatus status = Service().GetStatus();
        return status.state == ServiceStatus::Running && status.port == newPort;
    }));
    Velto::Corvane::Testing::HttpClient visitor{newPort};
    const auto shares = visitor.Request("GET", "/api/shares");
    ASSERT_TRUE(shares);
    EXPECT_EQ(shares->status, 200);
    EXPECT_NE(shares->body.find("docs"), std::string::npos);
    EXPECT_EQ(SavedConfig().port, newPort);
    ASSERT_TRUE(RunUntil([&] {
        const Label* status = FindById<Label>(Root(), u"settings.status");
        return status && status->Text() == u"Settings saved.";
    }));

    // HTTPS with the self-signed certificate the service makes.
    auto* https = FindById<CheckBox>(Root(), u"settings.https");
    ASSERT_NE(https, nullptr);
    Click(*https);
    ASSERT_TRUE(RunUntil([&] { return https->State() == CheckState::Checked; }));
    Shown<Button>(u"settings.apply").Click();
    ASSERT_TRUE(RunUntil([&] {
        const ServiceStatus status = Service().GetStatus();
        return status.state == ServiceStatus::Running && status.https && !status.thumbprint.empty();
    }));
    const std::u16string thumbprint = Service().GetStatus().thumbprint;

    // The certificate the server presents is the one the page names.
    const auto served = s_x->Run({"sh", "-c",
                                  "openssl s_client -connect 127.0.0.1:" + std::to_string(newPort) +
                                      " </dev/null 2>/dev/null | openssl x509 -noout "
                                      "-fingerprint -sha256"},
                                 20000);
    EXPECT_NE(served.out.find(U8(Velto::Corvane::FormatFingerprint(thumbprint))), std::string::npos)
        << served.out;
    // Within a status refresh the page shows the fingerprint.
    ASSERT_TRUE(RunUntil([&] {
        const Label* shown = FindById<Label>(Root(), u"settings.fingerprint");
        return shown && shown->Text() == Velto::Corvane::FormatFingerprint(thumbprint);
    }));
    EXPECT_TRUE(SavedConfig().https);
}

TEST_F(PagesGuiTest, AVisitorsDownloadShowsInTheLog) {
    ASSERT_EQ(Service().Start(), 0);
    Open(MainWindow::kLogPage);
    Velto::Corvane::Testing::HttpClient visitor{port};
    const auto file = visitor.Request("GET", "/files/docs/hello.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    // The window's status refresh (every two seconds) brings it in.
    ASSERT_TRUE(RunUntil([&] {
        auto* list = FindFirst<List::ListView>(Root());
        return list && list->Source() && list->Source()->RowCount() == 1 &&
               list->Source()->CellText(0, 3) == u"Download";
    }));
    auto* list = FindFirst<List::ListView>(Root());
    EXPECT_EQ(U8(list->Source()->CellText(0, 5)), "Done");
    EXPECT_EQ(U8(list->Source()->CellText(0, 1)), "127.0.0.1");
}

TEST_F(PagesGuiTest, AnAccountAddedOnThePageSignsIn) {
    ASSERT_EQ(Service().Start(), 0);
    Open(MainWindow::kAccountsPage);
    // The real dialog: the steps fill it in from inside its own loop.
    auto run = StartSteps({
        {[] { return g_openDialog != nullptr && g_openDialog->IsActive(); },
         [] {
             std::vector<Controls::TextBox*> boxes;
             CollectTextBoxes(g_openDialog->Root(), boxes);
             ASSERT_GE(boxes.size(), 3u);
             boxes[0]->SetText(u"kim");
             boxes[1]->SetText(u"open sesame");
             boxes[2]->SetText(u"open sesame");
         }},
        {[] { return true; },
         [] {
             s_x->Run({"xdotool", "key", "Return"});
         }},
    });
    Click(Shown<Button>(u"accounts.add"));
    ASSERT_TRUE(RunUntil([&] {
        auto* list = FindFirst<List::ListView>(Root());
        return run->Done() && !window->Main().Commands().HasPendingChanges() && list &&
               list->Source()->RowCount() == 1;
    }));
    ASSERT_EQ(SavedConfig().accounts.size(), 1u);
    EXPECT_FALSE(run->timedOut);

    Velto::Corvane::Testing::HttpClient visitor{port};
    const std::string body = R"({"name":"kim","password":"open sesame"})";
    const auto signIn = visitor.Request(
        "POST", "/api/login", {"x-veltocorvane: 1", "Content-Type: application/json"}, body);
    ASSERT_TRUE(signIn);
    EXPECT_EQ(signIn->status, 200) << signIn->body;
    EXPECT_NE(signIn->body.find("kim"), std::string::npos);

    Velto::Corvane::Testing::HttpClient stranger{port};
    const auto wrong = stranger.Request("POST", "/api/login",
                                        {"x-veltocorvane: 1", "Content-Type: application/json"},
                                        R"({"name":"kim","password":"wrong"})");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 401);
}

} // namespace
} // namespace App
