// Thumbnails through the real server and the real helper: JPEG (with an EXIF
// rotation), PNG with transparency, GIF, video, and files no decoder should
// get stuck on.
#include "tests/webapp/web_app_fixture.h"

#include "base/clock.h"
#include "webapp/thumbnails/thumbnail_failures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>

namespace Velto::Corvane::Testing {
namespace {

struct Rgb {
    int r, g, b;
};

struct Decoded {
    int width{0};
    int height{0};
    std::vector<unsigned char> rgb;

    Rgb At(int x, int y) const {
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

// Within JPEG's error of the wanted colour.
void ExpectNear(const Rgb& got, const Rgb& want, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_NEAR(got.r, want.r, 40);
    EXPECT_NEAR(got.g, want.g, 40);
    EXPECT_NEAR(got.b, want.b, 40);
}

std::optional<Decoded> DecodeJpeg(const std::string& jpeg) {
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.data());
    int width, height, subsampling, colourspace;
    if (tjDecompressHeader3(handle.get(), bytes, jpeg.size(), &width, &height, &subsampling,
                            &colourspace) != 0)
        return std::nullopt;
    Decoded decoded{width, height, std::vector<unsigned char>(std::size_t(width) * height * 3)};
    if (tjDecompress2(handle.get(), bytes, jpeg.size(), decoded.rgb.data(), width, 0, height,
                      TJPF_RGB, 0) != 0)
        return std::nullopt;
    return decoded;
}

// A 64 x 32 JPEG, left half red and right half blue, carrying EXIF
// orientation 6 (shown turned 90 degrees clockwise).
std::string RotatedJpeg() {
    constexpr int kWidth = 64, kHeight = 32;
    std::vector<unsigned char> rgb(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            unsigned char* pixel = &rgb[(y * kWidth + x) * 3];
            pixel[0] = x < kWidth / 2 ? 255 : 0;
            pixel[2] = x < kWidth / 2 ? 0 : 255;
        }
    }
    const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(handle.get(), rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &out, &size,
                          TJSAMP_444, 95, 0),
              0);
    std::string jpeg(reinterpret_cast<const char*>(out), size);
    tjFree(out);
    const std::string exif("\xFF\xE1\x00\x22"
                           "Exif\0\0"
                           "II\x2A\x00\x08\x00\x00\x00"
                           "\x01\x00"
                           "\x12\x01\x03\x00\x01\x00\x00\x00\x06\x00\x00\x00"
                           "\x00\x00\x00\x00",
                           36);
    jpeg.insert(2, exif);
    return jpeg;
}

void AppendBe32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::string PngChunk(std::string_view type, std::string_view data) {
    std::string chunk;
    AppendBe32(chunk, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type) + std::string(data);
    chunk += body;
    AppendBe32(chunk, static_cast<std::uint32_t>(
                          ::crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
    return chunk;
}

// An 8-bit PNG of the given colour type with `rows` already filtered
// (each row starts with its filter byte).
std::string Png(std::uint32_t width, std::uint32_t height, int colourType, std::string_view rows) {
    std::string header;
    AppendBe32(header, width);
    AppendBe32(header, height);
    header += std::string("\x08", 1) + static_cast<char>(colourType) + std::string("\0\0\0", 3);
    uLongf packedSize = ::compressBound(rows.size());
    std::string packed(packedSize, '\0');
    EXPECT_EQ(::compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                          reinterpret_cast<const Bytef*>(rows.data()), rows.size(), 9),
              Z_OK);
    packed.resize(packedSize);
    return "\x89PNG\r\n\x1A\n" + PngChunk("IHDR", header) + PngChunk("IDAT", packed) +
           PngChunk("IEND", "");
}

// 64 x 64, transparent except an opaque red square in the middle.
std::string TransparentPng() {
    std::string rows;
    for (int y = 0; y < 64; ++y) {
        rows.push_back('\0');
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 16 && x < 48 && y >= 16 && y < 48;
            rows += inside ? std::string("\xFF\x00\x00\xFF", 4) : std::string(4, '\0');
        }
    }
    return Png(64, 64, 6, rows);
}

// A 1 x 1 GIF whose one pixel is red.
constexpr std::string_view kRedGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
                                   ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                                   35);

std::string EtagSuffix(const std::string& etag) {
    const std::size_t dash = etag.rfind('-');
    return dash == std::string::npos ? std::string() : etag.substr(dash);
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

class Thumbnails : public WebAppFixture {
protected:
    void SetUp() override {
        WebAppFixture::SetUp();
        m_docs = Files() / "docs";
        std::filesystem::create_directories(m_docs / "folder");
        Config config;
        config.shares.push_back(MakeShare("00000000000000c1", u"docs", m_docs));
        Apply(config);
    }

    ClientResponse Thumb(const std::string& path, const std::string& size = "64",
                         std::vector<std::string> headers = {}) {
        std::string target = "/api/thumb?share=docs&path=" + path;
        if (!size.empty())
            target += "&size=" + size;
        return Get(target, {}, std::move(headers));
    }

    Decoded ThumbOf(const std::string& path) {
        const ClientResponse reply = Thumb(path);
        EXPECT_EQ(reply.status, 200) << path << ": " << reply.body;
        EXPECT_EQ(reply.Header("content-type"), "image/jpeg");
        const std::optional<Decoded> decoded = DecodeJpeg(reply.body);
        EXPECT_TRUE(decoded) << path;
        return decoded.value_or(Decoded{});
    }

    std::filesystem::path m_docs;
};

TEST_F(Thumbnails, AJpegIsTurnedUprightByItsExifOrientation) {
    WriteFile("docs/turned.jpg", RotatedJpeg());
    const Decoded thumb = ThumbOf("turned.jpg");
    EXPECT_EQ(thumb.width, 32);
    EXPECT_EQ(thumb.height, 64);
    if (thumb.width == 32 && thumb.height == 64) {
        ExpectNear(thumb.At(16, 8), {255, 0, 0}, "top is the red left half");
        ExpectNear(thumb.At(16, 56), {0, 0, 255}, "bottom is the blue right half");
    }
}

TEST_F(Thumbnails, TransparentAreasComeOutWhite) {
    WriteFile("docs/clear.png", TransparentPng());
    const Decoded thumb = ThumbOf("clear.png");
    ASSERT_EQ(thumb.width, 64);
    ASSERT_EQ(thumb.height, 64);
    ExpectNear(thumb.At(2, 2), {255, 255, 255}, "top left");
    ExpectNear(thumb.At(61, 61), {255, 255, 255}, "bottom right");
    ExpectNear(thumb.At(32, 32), {255, 0, 0}, "centre");
}

TEST_F(Thumbnails, AGifGivesItsFirstFrame) {
    WriteFile("docs/red.gif", kRedGif);
    const Decoded thumb = ThumbOf("red.gif");
    ASSERT_EQ(thumb.width, 1);
    ExpectNear(thumb.At(0, 0), {255, 0, 0}, "the pixel");
}

TEST_F(Thumbnails, AVideoGoesThroughItsDesktopThumbnailer) {
    if (!HaveTool("ffmpegthumbnailer") || !HaveTool("ffmpeg"))
        GTEST_SKIP() << "ffmpegthumbnailer and ffmpeg make and read the test video";
    const std::filesystem::path video = m_docs / "clip.mp4";
    ASSERT_EQ(std::system(("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=320x240:rate=10 "
                           "-t 2 -pix_fmt yuv420p '" +
                           video.string() + "'")
                              .c_str()),
              0);
    const Decoded thumb = ThumbOf("clip.mp4");
    EXPECT_EQ(thumb.width, 64);
    EXPECT_EQ(thumb.height, 48);
}

TEST_F(Thumbnails, WhatHasNoThumbnailAndWhatIsNotThere) {
    WriteFile("docs/notes.txt", "just text\n");
    WriteFile("docs/.hidden.png", TransparentPng());
    const struct {
        const char* path;
        int status;
        std::string_view body;
        bool cacheHeaders;
    } cases[] = {
        {"notes.txt", 404, R"({"error":"noThumbnail"})", true},
        {"folder", 404, R"({"error":"notFound"})", false},
        {"", 404, R"({"error":"notFound"})", false},
        {"missing.png", 404, R"({"error":"notFound"})", false},
        {".hidden.png", 404, R"({"error":"notFound"})", false},
        {"..%2Fx.png", 400, R"({"error":"badPath"})", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.path);
        const ClientResponse reply = Thumb(row.path);
        EXPECT_EQ(reply.status, row.status);
        EXPECT_EQ(reply.body, row.body);
        EXPECT_EQ(reply.HasHeader("etag"), row.cacheHeaders);
        EXPECT_EQ(reply.Header("cache-control"),
                  row.cacheHeaders ? "private, max-age=86400" : "no-store");
    }
    EXPECT_EQ(Get("/api/thumb?share=nope&path=a.png").body, R"({"error":"notFound"})");
    EXPECT_EQ(Send("HEAD", "/api/thumb?share=docs&path=notes.txt").status, 404);
}

TEST_F(Thumbnails, ThePixelSizeIsPartOfTheTag) {
    WriteFile("docs/clear.png", TransparentPng());
    const struct {
        std::string size;
        std::string suffix;
    } cases[] = {
        {"10", "-32\""}, {"9999", "-512\""}, {"abc", "-32\""},
        {"", "-256\""},  {"100", "-100\""},  {"%2064px", "-64\""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE("size=" + row.size);
        const ClientResponse reply = Thumb("clear.png", row.size);
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(EtagSuffix(reply.Header("etag")), row.suffix);
    }
}

TEST_F(Thumbnails, TagsValidateAndChangeWithTheFile) {
    const std::filesystem::path file = WriteFile("docs/clear.png", TransparentPng());
    const ClientResponse first = Thumb("clear.png");
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.Header("cache-control"), "private, max-age=86400");
    const std::string tag = first.Header("etag");

    const ClientResponse again = Thumb("clear.png");
    EXPECT_EQ(again.body, first.body);
    EXPECT_EQ(again.Header("etag"), tag);

    const ClientResponse unchanged = Thumb("clear.png", "64", {"If-None-Match: " + tag});
    EXPECT_EQ(unchanged.status, 304);
    EXPECT_EQ(unchanged.body, "");
    EXPECT_EQ(unchanged.Header("etag"), tag);
    EXPECT_EQ(Thumb("clear.png", "65", {"If-None-Match: " + tag}).status, 200);

    // Saved again (another size and time): a new tag and a new thumbnail.
    WriteFile("docs/clear.png", Png(2, 1, 2, std::string("\0\0\0\xFF\xFF\xFF\xFF", 7)));
    const timespec times[2] = {{1'700'000'000, 0}, {1'700'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const ClientResponse changed = Thumb("clear.png", "64", {"If-None-Match: " + tag});
    EXPECT_EQ(changed.status, 200);
    EXPECT_NE(changed.Header("etag"), tag);
    const std::optional<Decoded> decoded = DecodeJpeg(changed.body);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 2);
}

TEST_F(Thumbnails, HostileFilesGiveNoThumbnailAndTheServerGoesOn) {
    const std::string jpeg = RotatedJpeg();
    WriteFile("docs/truncated.jpg", jpeg.substr(0, jpeg.size() / 2));
    // A decompression bomb: a tiny file announcing 30000 x 30000 pixels.
    WriteFile("docs/bomb.png", Png(30'000, 30'000, 0, std::string(30'001, '\0')));
    WriteFile("docs/garbage.jpg", std::string("\xFF\xD8\xFF\xE0") + std::string(5000, '\x7F'));
    for (const char* path : {"truncated.jpg", "bomb.png", "garbage.jpg"}) {
        SCOPED_TRACE(path);
        const ClientResponse reply = Thumb(path);
        EXPECT_EQ(reply.status, 404);
        EXPECT_EQ(reply.body, R"({"error":"noThumbnail"})");
    }
    EXPECT_EQ(Get("/api/session").status, 200);
    WriteFile("docs/clear.png", TransparentPng());
    EXPECT_EQ(Thumb("clear.png").status, 200);
}

// Rewrites a file in place (same inode), then sets its modification time.
void Overwrite(const std::filesystem::path& file, std::string_view bytes, std::time_t modified) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
    const timespec times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

// A failure is remembered for the file's version, whatever size is asked
// next: only a new modification time or the end of the memory tries again.
// (Mending the bytes behind the server's back while keeping the time shows
// whether the helper ran.)
TEST_F(Thumbnails, AFileTheHelperFailedOnIsNotTriedAgainForAWhile) {
    const std::string good = TransparentPng();
    std::string broken = good;
    broken[1] = 'X'; // no longer a PNG signature
    const struct {
        const char* name;
        std::time_t mendedTime; // the time set after mending
        bool triedAtOnce;
    } cases[] = {
        {"kept.png", 1'600'000'000, false},
        {"touched.png", 1'600'000'100, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path file = WriteFile(std::string("docs/") + row.name, broken);
        Overwrite(file, broken, 1'600'000'000);
        EXPECT_EQ(Thumb(row.name, "64").status, 404);
        Overwrite(file, good, row.mendedTime);
        const ClientResponse again = Thumb(row.name, "128");
        EXPECT_EQ(again.status, row.triedAtOnce ? 200 : 404);
        if (!row.triedAtOnce) {
            EXPECT_EQ(again.body, R"({"error":"noThumbnail"})");
            Advance(ThumbnailFailures::kMemoryMs);
            EXPECT_EQ(Thumb(row.name, "96").status, 200);
        }
    }
}

} // namespace
} // namespace Velto::Corvane::Testing
