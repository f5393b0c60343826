// Frame times of the list view scrolling a 1 000 000-row table and of a
// text box holding 10 000 characters, per keystroke, rendered headlessly.
// Usage: widget_controls_bench [frames]   Prints p50, p99 and the worst, in ms.
#include "widget/controls/text_box.h"
#include "widget/input/headless_host.h"
#include "widget/input/key_codes.h"
#include "widget/list/list_view.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace Velto::Widget;

constexpr SizeF kWindow{1280, 800};
constexpr std::int64_t kRows = 1'000'000;
constexpr std::size_t kTextLength = 10'000;
constexpr double kFrameSeconds = 1.0 / 60;

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * samples.size()))];
    };
    std::printf("%-44s p50 %7.3f  p99 %7.3f  worst %7.3f ms  (%zu frames)\n", what, at(0.5),
                at(0.99), samples.back(), samples.size());
}

// Rows of a file table, texts made on demand.
class Table final : public List::IListDataSource {
public:
    std::int64_t RowCount() const override { return kRows; }
    std::u16string_view CellText(std::int64_t row, std::int32_t column) const override {
        std::string text;
        switch (column) {
        case 0:
            text = "photo-" + std::to_string(row) + ".jpg";
            break;
        case 1:
            text = std::to_string(row % 9000 + 12) + " KB";
            break;
        default:
            text = "2026-12-" + std::to_string(row % 28 + 1) + " 10:" + std::to_string(row % 60);
            break;
        }
        m_text.assign(text.begin(), text.end());
        return m_text;
    }

private:
    mutable std::u16string m_text;
};

// A scripted scroll: wheel notches down, a fling of page keys, a jump to
// the end and back, with the fake clock moving one frame each time.
std::vector<double> ScrollList(int frames, float scale) {
    Table table;
    List::ListView list;
    list.AddColumn(List::Column{0, u"Name", 520});
    list.AddColumn(List::Column{1, u"Size", 160, 48, 2000, TextAlignment::Trailing});
    list.AddColumn(List::Column{2, u"Modified", 240});
    HeadlessHost host(list, LightTheme(kDefaultAccent), scale);
    list.SetSource(&table);
    list.RequestFocus(true);
    auto canvas = host.Render(kWindow);
    std::vector<double> samples;
    for (int i = 0; i < frames; ++i) {
        const int phase = i % 120;
        if (phase < 60 && phase % 3 == 0)
            host.Wheel(WheelEvent{PointF{400, 400}, 0, -1});
        else if (phase >= 60 && phase < 90 && phase % 5 == 0)
            host.KeyDown(KeyEvent{kKeyPageDown});
        else if (phase == 100)
            host.KeyDown(KeyEvent{(i / 120) % 2 == 0 ? kKeyEnd : kKeyHome});
        host.AdvanceTime(kFrameSeconds);
        const auto start = Clock::now();
        host.RenderFrame(*canvas, kWindow);
        samples.push_back(Milliseconds(Clock::now() - start));
    }
    if (const char* shot = std::getenv("VELTO_BENCH_SHOT"))
        canvas->WritePng(shot);
    return samples;
}

// One character typed (or erased) and the frame that shows it.
std::vector<double> TypeIntoLongText(int keystrokes, bool erase) {
    Controls::TextBox box;
    HeadlessHost host(box, LightTheme(kDefaultAccent));
    std::u16string text;
    for (std::size_t i = 0; i < kTextLength; ++i)
        text.push_back(i % 7 == 6 ? u' ' : static_cast<char16_t>(u'a' + i % 26));
    box.SetText(text);
    box.RequestFocus(true);
    const SizeF size{600, 40};
    auto canvas = host.Render(size);
    std::vector<double> samples;
    for (int i = 0; i < keystrokes; ++i) {
        host.AdvanceTime(kFrameSeconds);
        const auto start = Clock::now();
        if (erase)
            host.KeyDown(KeyEvent{kKeyBackspace});
        else
            host.Char(CharEvent{static_cast<char32_t>(U'a' + i % 26)});
        host.RenderFrame(*canvas, size);
        samples.push_back(Milliseconds(Clock::now() - start));
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 600;
    Report("list 1 000 000 rows, scripted scroll, 100 %", ScrollList(frames, 1));
    Report("list 1 000 000 rows, scripted scroll, 200 %", ScrollList(frames, 2));
    Report("text box 10 000 chars, keystroke to frame", TypeIntoLongText(frames / 2, false));
    Report("text box 10 000 chars, backspace to frame", TypeIntoLongText(frames / 2, true));
    return 0;
}
