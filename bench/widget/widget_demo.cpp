// Renders the demo page to PNG files in the light, dark and high-contrast
// themes: widget_demo <folder> [scale]
#include "bench/widget/demo_tree.h"
#include "widget/input/headless_host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using namespace Velto::Widget;
    if (argc < 2) {
        std::fprintf(stderr, "usage: widget_demo <folder> [scale]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const float scale = argc > 2 ? static_cast<float>(std::atof(argv[2])) : 1.0f;
    const struct {
        const char* name;
        Theme theme;
    } variants[] = {
        {"light", LightTheme(kDefaultAccent)},
        {"dark", DarkTheme(kDefaultAccent)},
        {"high-contrast", HighContrastTheme()},
    };
    for (const auto& v : variants) {
        const auto root = Demo::BuildDemoTree();
        const std::string path = (folder / (std::string("demo-") + v.name + ".png")).string();
        if (Velto::Failed(RenderToPng(*root, SizeF{960, 600}, scale, v.theme, path))) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
