// Times full frames of a window-sized card grid (a few hundred labels and
// borders) rendered headlessly at 100 % and 200 %, and a layout pass.
// Usage: widget_bench [frames]   Prints one line per figure, in ms.
#include "bench/widget/demo_tree.h"
#include "bench/widget/timing_canvas.h"
#include "widget/core/widget.h"
#include "widget/input/headless_host.h"
#include "widget/render/cairo_canvas.h"
#include "widget/render/theme.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using namespace Velto::Widget;

constexpr SizeF kWindow{1280, 800};
constexpr int kColumns = 8;
constexpr int kRows = 20; // 160 cards: 160 borders, 320 labels, 160 icons

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// This machine shares its cores: the best and the median run say more than
// the mean, which one descheduling can double.
struct Figures {
    double best{0};
    double median{0};
    double mean{0};
};

Figures Time(int rounds, const std::function<void()>& work) {
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        samples.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (const double s : samples)
        sum += s;
    return Figures{samples.front(), samples[samples.size() / 2], sum / rounds};
}

void Print(const char* what, const Figures& f) {
    std::printf("%-46s best %7.3f  median %7.3f  mean %7.3f ms\n", what, f.best, f.median, f.mean);
}

int CountWidgets(const Widget& w) {
    int n = 1;
    for (const auto& child : w.Children())
        n += CountWidgets(*child);
    return n;
}

} // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const Theme theme = LightTheme(kDefaultAccent);

    for (const float scale : {1.0f, 2.0f}) {
        const auto root = Demo::BuildCardGrid(kColumns, kRows);
        HeadlessHost host(*root, theme, scale);
        CairoCanvas canvas(static_cast<int>(kWindow.width * scale),
                           static_cast<int>(kWindow.height * scale), scale);
        if (!canvas.IsValid())
            return 1;
        std::printf("== %d x %d DIPs at %.0f %% (%d x %d px), %d widgets ==\n",
                    static_cast<int>(kWindow.width), static_cast<int>(kWindow.height), scale * 100,
                    canvas.PixelWidth(), canvas.PixelHeight(), CountWidgets(*root));

        const auto firstStart = Clock::now();
        host.RenderFrame(canvas, kWindow);
        std::printf("%-46s %7.3f ms\n", "first frame (text layouts built)",
                    Milliseconds(Clock::now() - firstStart));

        Print("full frame (clear, cached layout, draw all)",
              Time(frames, [&] { host.RenderFrame(canvas, kWindow); }));
        {
            // Where a frame goes (timing each call adds a little).
            Demo::TimingCanvas timing(canvas);
            const int sampled = std::max(1, frames / 4);
            for (int i = 0; i < sampled; ++i) {
                timing.Clear(theme.windowBackground);
                root->Paint(timing);
                timing.EndFrame();
            }
            timing.Report();
        }

        // Alternating widths change every star column, so every widget is
        // measured and arranged again; the text layouts stay cached.
        bool narrow = false;
        Print("layout pass, every widget measured again", Time(frames, [&] {
                  narrow = !narrow;
                  host.Layout(SizeF{kWindow.width - (narrow ? 1.0f : 0.0f), kWindow.height});
              }));
        Print("layout pass, nothing changed", Time(frames, [&] { host.Layout(kWindow); }));
    }
    return 0;
}
