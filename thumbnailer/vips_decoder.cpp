#include "thumbnailer/vips_decoder.h"

#include <vips/vips.h>

#include <memory>

namespace Velto::Thumbnailer {

namespace {

// Larger sources are refused from their header alone: decoding them for a
// preview would cost seconds and gigabytes (a decompression bomb costs
// nothing to send). 2^27 pixels still covers a 108-megapixel photo.
constexpr std::uint64_t kMaxSourcePixels = std::uint64_t{1} << 27;

struct ObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T> using GPtr = std::unique_ptr<T, ObjectUnref>;
struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};

// One step of the conversion chain: `step` fills `out`, 0 on success.
template <typename Step> GPtr<VipsImage> Then(const GPtr<VipsImage>& in, Step step) {
    if (!in)
        return nullptr;
    VipsImage* out = nullptr;
    if (step(in.get(), &out) != 0)
        return nullptr;
    return GPtr<VipsImage>(out);
}

// sRGB with alpha, premultiplied, 8 bits per channel, handed over as BGRA.
std::optional<Corvane::ThumbnailBitmap> ToPremultipliedBgra(const GPtr<VipsImage>& thumbnail) {
    GPtr<VipsImage> image = Then(thumbnail, [](VipsImage* in, VipsImage** out) {
        return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
    });
    image = Then(image,
                 [](VipsImage* in, VipsImage** out) { return vips_cast_uchar(in, out, nullptr); });
    if (!image)
        return std::nullopt;
    const int bands = vips_image_get_bands(image.get());
    if (bands == 3) {
        image = Then(image, [](VipsImage* in, VipsImage** out) {
            return vips_bandjoin_const1(in, out, 255.0, nullptr);
        });
    } else if (bands == 4) {
        image = Then(image, [](VipsImage* in, VipsImage** out) {
            return vips_premultiply(in, out, nullptr);
        });
        image = Then(image, [](VipsImage* in, VipsImage** out) {
            return vips_cast_uchar(in, out, nullptr);
        });
    } else {
        return std::nullopt;
    }
    if (!image)
        return std::nullopt;

    const int width = vips_image_get_width(image.get());
    const int height = vips_image_get_height(image.get());
    if (width < 1 || height < 1 || width > static_cast<int>(Corvane::kMaxThumbnailBitmapEdge) ||
        height > static_cast<int>(Corvane::kMaxThumbnailBitmapEdge))
        return std::nullopt;
    std::size_t size = 0;
    const std::unique_ptr<unsigned char, GFree> rgba(
        static_cast<unsigned char*>(vips_image_write_to_memory(image.get(), &size)));
    const std::size_t expected =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    if (!rgba || size != expected)
        return std::nullopt;

    Corvane::ThumbnailBitmap bitmap;
    bitmap.width = static_cast<std::uint32_t>(width);
    bitmap.height = static_cast<std::uint32_t>(height);
    bitmap.bgra.resize(expected);
    const unsigned char* from = rgba.get();
    auto* to = reinterpret_cast<unsigned char*>(bitmap.bgra.data());
    for (std::size_t i = 0; i < expected; i += 4) {
        to[i] = from[i + 2];
        to[i + 1] = from[i + 1];
        to[i + 2] = from[i];
        to[i + 3] = from[i + 3];
    }
    return bitmap;
}

bool HeaderFits(VipsImage* header) {
    const std::uint64_t width = static_cast<std::uint64_t>(vips_image_get_width(header));
    const std::uint64_t height = static_cast<std::uint64_t>(vips_image_get_height(header));
    return width > 0 && height > 0 && width * height <= kMaxSourcePixels;
}

} // namespace

bool StartVips(const char* programName) {
    if (VIPS_INIT(programName) != 0)
        return false;
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    vips_block_untrusted_set(TRUE);
    return true;
}

std::optional<Corvane::ThumbnailBitmap> DecodeImageFd(int fd, std::uint32_t pixels) {
    const GPtr<VipsSource> source(vips_source_new_from_descriptor(fd));
    if (!source)
        return std::nullopt;
    {
        const GPtr<VipsImage> header(vips_image_new_from_source(source.get(), "", "access",
                                                                VIPS_ACCESS_SEQUENTIAL, nullptr));
        if (!header || !HeaderFits(header.get()))
            return std::nullopt;
    }
    if (vips_source_rewind(source.get()) != 0)
        return std::nullopt;
    VipsImage* thumbnail = nullptr;
    const int edge = static_cast<int>(pixels);
    if (vips_thumbnail_source(source.get(), &thumbnail, edge, "height", edge, "size",
                              VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr) != 0)
        return std::nullopt;
    return ToPremultipliedBgra(GPtr<VipsImage>(thumbnail));
}

std::optional<Corvane::ThumbnailBitmap> DecodeImageFile(const std::string& path,
                                                        std::uint32_t pixels) {
    const GPtr<VipsImage> header(
        vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!header || !HeaderFits(header.get()))
        return std::nullopt;
    VipsImage* thumbnail = nullptr;
    const int edge = static_cast<int>(pixels);
    if (vips_thumbnail(path.c_str(), &thumbnail, edge, "height", edge, "size", VIPS_SIZE_DOWN,
                       "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr) != 0)
        return std::nullopt;
    return ToPremultipliedBgra(GPtr<VipsImage>(thumbnail));
}

} // namespace Velto::Thumbnailer
