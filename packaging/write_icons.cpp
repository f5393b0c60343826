// Writes the program's icon as PNG files for the icon theme:
//   veltocorvane_icons <folder> <size>...
// gives <folder>/<size>x<size>/apps/veltocorvane.png for each size, drawn
// at that size by the same code as the tray icon.
#include "app/desktop/tray/tray_icons.h"
#include "widget/render/cairo_canvas.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::optional<int> ParseSize(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1 ||
        value > App::kMaxProgramIconPixels)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: veltocorvane_icons FOLDER SIZE...\n", stderr);
        return 2;
    }
    const std::filesystem::path folder{argv[1]};
    for (int i = 2; i < argc; ++i) {
        const std::optional<int> size = ParseSize(argv[i]);
        if (!size) {
            std::fprintf(stderr, "veltocorvane_icons: not a size: %s\n", argv[i]);
            return 2;
        }
        const std::string name = std::to_string(*size) + "x" + std::to_string(*size);
        const std::filesystem::path apps = folder / name / "apps";
        std::error_code error;
        std::filesystem::create_directories(apps, error);
        Velto::Widget::CairoCanvas canvas(*size, *size, 1.0f);
        if (!canvas.IsValid())
            return 1;
        App::DrawProgramIcon(canvas, static_cast<float>(*size), true);
        if (Velto::Failed(canvas.WritePng((apps / "veltocorvane.png").string()))) {
            std::fprintf(stderr, "veltocorvane_icons: cannot write %s\n", apps.c_str());
            return 1;
        }
    }
    return 0;
}
