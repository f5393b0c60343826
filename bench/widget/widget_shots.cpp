// Renders the demo page and the page of every control to PNG files in the
// light, dark and high-contrast themes, for looking at them:
//   widget_shots <folder> [scale]
#include "bench/widget/controls_page.h"
#include "bench/widget/demo_tree.h"
#include "widget/input/headless_host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace Velto::Widget;

constexpr SizeF kDemoPage{960, 600};

bool RenderDemoPage(const Theme& theme, float scale, const std::string& path) {
    const auto root = Demo::BuildDemoTree();
    return Velto::Succeeded(RenderToPng(*root, kDemoPage, scale, theme, path));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: widget_shots <folder> [scale]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const float scale = argc > 2 ? std::strtof(argv[2], nullptr) : 1.0f;
    std::filesystem::create_directories(folder);
    const struct {
        const char* name;
        Theme theme;
    } variants[] = {
        {"light", LightTheme(kDefaultAccent)},
        {"dark", DarkTheme(kDefaultAccent)},
        {"high-contrast", HighContrastTheme()},
    };
    const struct {
        const char* name;
        bool (*render)(const Theme&, float, const std::string&);
    } pages[] = {
        {"demo", RenderDemoPage},
        {"controls", Demo::RenderControlsPage},
    };
    for (const auto& page : pages) {
        for (const auto& v : variants) {
            const std::string path =
                (folder / (std::string(page.name) + "-" + v.name + ".png")).string();
            if (!page.render(v.theme, scale, path)) {
                std::fprintf(stderr, "could not write %s\n", path.c_str());
                return 1;
            }
            std::printf("%s\n", path.c_str());
        }
    }
    return 0;
}
