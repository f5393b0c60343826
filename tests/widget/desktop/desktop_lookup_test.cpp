// Monitor arithmetic, and the file-type icons from a small icon theme and
// kind list in a temporary data folder.
#include "widget/desktop/file_icon.h"
#include "widget/desktop/icon_image_loader.h"
#include "widget/desktop/icon_theme.h"
#include "widget/desktop/mime_globs.h"
#include "widget/desktop/monitor_list.h"
#include "widget/desktop/x_monitors.h"

#include "tests/support/temp_home.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace Velto::Widget::Kit {
namespace {

namespace fs = std::filesystem;

MonitorInfo Monitor(ScreenRect rect, bool primary, std::string name) {
    MonitorInfo info;
    info.monitor = rect;
    info.workArea = rect;
    info.isPrimary = primary;
    info.name = std::move(name);
    return info;
}

TEST(MonitorListTest, PrimaryFirstUnionAndNearest) {
    // Left of the primary, the primary, and one below-right.
    const MonitorList list({Monitor({-1920, 0, 0, 1080}, false, "left"),
                            Monitor({0, 0, 2560, 1440}, true, "main"),
                            Monitor({2560, 400, 3840, 1424}, false, "right")});
    ASSERT_EQ(list.Entries().size(), 3u);
    EXPECT_EQ(list.Entries()[0].name, "main");
    EXPECT_EQ(list.Entries()[1].name, "left");
    EXPECT_EQ(list.Union(), (ScreenRect{-1920, 0, 3840, 1440}));
    EXPECT_EQ(list.PrimaryMonitor()->name, "main");

    struct Case {
        ScreenPoint point;
        const char* nearest;
    };
    const std::vector<Case> cases = {
        {{100, 100}, "main"},
        {{-1, 500}, "left"},
        {{2559, 0}, "main"},
        // Right edges are exclusive: x = right is one pixel away from main
        // and inside "right" when in its rows.
        {{2560, 500}, "right"},
        {{2560, 100}, "main"},
        {{-5000, 200}, "left"},
        // Below everything, equally far from main and left: the earlier.
        {{0, 2000}, "main"},
        {{5000, 1000}, "right"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(list.NearestMonitor(c.point)->name, c.nearest) << c.point.x << "," << c.point.y;

    // Without a primary the first counts; without monitors there is none.
    const MonitorList plain(
        {Monitor({0, 0, 10, 10}, false, "a"), Monitor({10, 0, 20, 10}, false, "b")});
    EXPECT_EQ(plain.PrimaryMonitor()->name, "a");
    const MonitorList none(std::vector<MonitorInfo>{});
    EXPECT_EQ(none.PrimaryMonitor(), nullptr);
    EXPECT_EQ(none.NearestMonitor({0, 0}), nullptr);
    EXPECT_TRUE(none.Union().IsEmpty());
}

TEST(MonitorListTest, XftDpiFromResources) {
    EXPECT_EQ(XftDpi("Xft.antialias:\t1\nXft.dpi:\t144\n"), 144u);
    EXPECT_EQ(XftDpi("Xft.dpi: 120.6"), 121u);
    EXPECT_EQ(XftDpi("Xcursor.size:\t24\n"), std::nullopt);
    EXPECT_EQ(XftDpi("Xft.dpi:\tlarge\n"), std::nullopt);
    EXPECT_EQ(XftDpi("Xft.dpi:\t0\n"), std::nullopt);
    EXPECT_EQ(XftDpi("Xft.dpi:\t96x\n"), std::nullopt);
}

// One colour in BGRA order, as a PNG of the given size.
void WritePng(const fs::path& path, int size, std::uint32_t argb) {
    fs::create_directories(path.parent_path());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, (argb >> 24) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// The centre pixel of a bitmap as 0xAARRGGBB.
std::uint32_t Centre(const Bitmap& bitmap) {
    cairo_surface_t* surface = bitmap.NativeSurface();
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    return *reinterpret_cast<const std::uint32_t*>(data + stride * (bitmap.PixelHeight() / 2) +
                                                   4 * (bitmap.PixelWidth() / 2));
}

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kYellow = 0xFFFFFF00;
constexpr std::uint32_t kGray = 0xFF808080;

const char* kHicolorIndex = R"([Icon Theme]
Name=Hicolor
Directories=16x16/mimetypes,48x48/mimetypes,48x48/places,scalable/mimetypes

[16x16/mimetypes]
Size=16
Type=Fixed

[48x48/mimetypes]
Size=48
Type=Fixed

[48x48/places]
Size=48
Type=Fixed

[scalable/mimetypes]
Size=16
MinSize=8
MaxSize=512
Type=Scalable
)";

TEST(FileIconTest, KindsFindTheirThemeIconsOnce) {
    Corvane::Testing::TempHome home;
    const fs::path data = fs::path(home.root) / "share";
    home.Set("XDG_DATA_DIRS", data.string());
    home.Set("GSETTINGS_BACKEND", "memory");
    WriteText(data / "mime/globs2", "# comment\n"
                                    "50:text/plain:*.txt\n"
                                    "50:application/gzip:*.gz\n"
                                    "50:application/x-velto-archive:*.tar.gz\n"
                                    "50:application/x-velto:*.velto\n"
                                    "50:text/x-makefile:makefile\n");
    WriteText(data / "mime/generic-icons", "application/x-velto:package-x-generic\n"
                                           "application/x-velto-archive:package-x-generic\n");
    const fs::path hicolor = data / "icons/hicolor";
    WriteText(hicolor / "index.theme", kHicolorIndex);
    WritePng(hicolor / "16x16/mimetypes/text-plain.png", 16, kRed);
    WritePng(hicolor / "48x48/mimetypes/text-plain.png", 48, kBlue);
    WritePng(hicolor / "48x48/mimetypes/package-x-generic.png", 48, kGreen);
    WritePng(hicolor / "48x48/mimetypes/application-x-generic.png", 48, kGray);
    WritePng(hicolor / "48x48/places/folder.png", 48, kYellow);
    WriteText(hicolor / "scalable/mimetypes/text-x-makefile.svg",
              R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">)"
              R"(<rect width="16" height="16" fill="#ff0000"/></svg>)");

    struct Case {
        const char* path;
        int size;
        std::uint32_t centre;
    };
    const std::vector<Case> cases = {
        {"/home/u/notes.TXT", 16, kRed}, // the exact size
        {"notes.txt", 40, kBlue},        // the nearest size, scaled
        {"a.velto", 48, kGreen},         // the kind's generic icon
        {"backup.tar.gz", 48, kGreen},   // the longer pattern wins
        {"data.gz", 48, kGray},          // no icon of its own or family
        {"strange.zzz", 24, kGray},      // an unknown kind
        // A whole-name kind, drawn from SVG when SVG can be drawn.
        {"src/Makefile", 32, CanDrawSvgIcons() ? kRed : kGray},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::shared_ptr<const Bitmap> icon = FileIcon(c.path, c.size);
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->PixelWidth(), c.size);
        EXPECT_EQ(icon->PixelHeight(), c.size);
        EXPECT_EQ(Centre(*icon), c.centre);
    }
    const auto folder = FolderIcon(48);
    ASSERT_TRUE(folder);
    EXPECT_EQ(Centre(*folder), kYellow);

    // Every kind is looked up once: removing the theme changes nothing now.
    const auto before = FileIcon("other.txt", 16);
    fs::remove_all(data / "icons");
    EXPECT_EQ(FileIcon("again.TXT", 16), before);
    EXPECT_EQ(FolderIcon(48), folder);
    // Nothing to show is an empty result, kept as well.
    EXPECT_EQ(FolderIcon(16), nullptr);
    EXPECT_EQ(FileIcon("x.txt", 0), nullptr);
}

TEST(FileIconTest, TypeTextIsTheLowerCasedTailFromTheFirstDot) {
    EXPECT_EQ(FileTypeText("/home/u/Archive.TAR.gz"), ".tar.gz");
    EXPECT_EQ(FileTypeText("dir.d/Makefile"), ".makefile");
    EXPECT_EQ(FileTypeText(".bashrc"), ".bashrc");
    EXPECT_EQ(FileTypeText("photo.JPG"), ".jpg");
}

TEST(IconThemeTest, NearerThemesWinAndLoopsEnd) {
    Corvane::Testing::TempHome home;
    const fs::path icons = fs::path(home.root) / "icons";
    WriteText(icons / "Child/index.theme", "[Icon Theme]\nInherits=Parent\n"
                                           "Directories=48x48/mimetypes\n"
                                           "[48x48/mimetypes]\nSize=48\nType=Fixed\n");
    WriteText(icons / "Parent/index.theme", "[Icon Theme]\nInherits=Child,hicolor\n"
                                            "Directories=16x16/mimetypes,32x32/mimetypes\n"
                                            "[16x16/mimetypes]\nSize=16\nType=Fixed\n"
                                            "[32x32/mimetypes]\nSize=32\nType=Threshold\n");
    WriteText(icons / "hicolor/index.theme", "[Icon Theme]\nDirectories=48x48/apps\n"
                                             "[48x48/apps]\nSize=48\nType=Fixed\n");
    WritePng(icons / "Child/48x48/mimetypes/text-x-generic.png", 48, kGray);
    WritePng(icons / "Parent/16x16/mimetypes/text-plain.png", 16, kRed);
    WritePng(icons / "Parent/32x32/mimetypes/text-plain.png", 32, kRed);
    WritePng(icons / "hicolor/48x48/apps/velto.png", 48, kBlue);

    const IconTheme theme("Child", {icons.string()}, false);
    // The child's generic icon before the parent's exact one.
    EXPECT_EQ(theme.Find({"text-plain", "text-x-generic"}, 16),
              (icons / "Child/48x48/mimetypes/text-x-generic.png").string());
    // Within one theme: the exact size, else the closest (a threshold of 2).
    EXPECT_EQ(theme.Find({"text-plain"}, 16),
              (icons / "Parent/16x16/mimetypes/text-plain.png").string());
    EXPECT_EQ(theme.Find({"text-plain"}, 30),
              (icons / "Parent/32x32/mimetypes/text-plain.png").string());
    EXPECT_EQ(theme.Find({"text-plain"}, 22),
              (icons / "Parent/16x16/mimetypes/text-plain.png").string());
    // hicolor comes last, whatever the chain says.
    EXPECT_EQ(theme.Find({"velto"}, 16), (icons / "hicolor/48x48/apps/velto.png").string());
    EXPECT_EQ(theme.Find({"missing"}, 16), std::nullopt);
    // A theme name cannot leave the icon folders.
    EXPECT_EQ(IconTheme("../Child", {icons.string()}, false).Find({"velto"}, 48),
              (icons / "hicolor/48x48/apps/velto.png").string());
}

} // namespace
} // namespace Velto::Widget::Kit
