#include "app/desktop/screenshots/dialog_shots.h"

#include "app/desktop/screenshots/host_capture.h"
#include "app/run/trace_file.h"
#include "base/utf.h"
#include "widget/core/widget.h"
#include "widget/window/application.h"
#include "widget/window/dialog.h"

#include <algorithm>
#include <limits>

namespace App {

using namespace Velto::Widget;

namespace {

constexpr std::u16string_view kReplaced = u"<>:\"/\\|?* ";
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kDelete = 0x7F;

bool IsLive(const Dialog* dialog) {
    const std::vector<Window*> windows = Application::Instance().Windows();
    return std::find(windows.begin(), windows.end(), dialog) != windows.end();
}

} // namespace

std::string DialogShots::FileName(std::u16string_view title) {
    std::u16string name{u"dialog-"};
    for (const char16_t c : title) {
        const bool replace =
            c < kFirstPrintable || c == kDelete || kReplaced.find(c) != std::u16string_view::npos;
        name.push_back(replace ? u'_' : c);
    }
    name += u".png";
    return Velto::Utf16ToUtf8(name);
}

void DialogShots::OnDialog(Dialog& dialog, std::u16string_view title) const {
    const std::string titleText = Velto::Utf16ToUtf8(title);
    std::string path = m_state->folder + "/" + FileName(title);
    path.insert(path.size() - std::string_view(".png").size(), m_state->suffix);
    Dialog* target = &dialog;
    Application::Instance().Post([state = m_state, target, titleText, path] {
        // The dialog may have ended before its loop ran this.
        if (!IsLive(target) || !target->IsRunningModally()) {
            ++state->failed;
            Trace("dialog " + titleText + " failed");
            return;
        }
        Widget* root = target->Root();
        const float width = target->DialogWidth();
        float height = Dialog::kInitialHeight;
        if (root != nullptr) {
            root->Measure(SizeF{width, std::numeric_limits<float>::infinity()});
            height = std::max(1.0f, root->DesiredSize().height);
        }
        const bool ok = Velto::Succeeded(CaptureHostToPng(*target, SizeF{width, height}, path));
        ++(ok ? state->saved : state->failed);
        Trace("dialog " + titleText + (ok ? " saved" : " failed"));
        target->EndDialog(Dialog::kClosedResult);
    });
}

} // namespace App
