#include "webapp/thumbnails/jpeg_encoder.h"

#include <turbojpeg.h>

#include <memory>

namespace Velto::Corvane {

namespace {

struct CompressorCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct BufferFreer {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

} // namespace

std::optional<std::string> EncodeJpeg(const BgrImage& image) {
    if (image.width == 0 || image.height == 0 || image.bytes.size() < image.stride * image.height)
        return std::nullopt;
    const std::unique_ptr<void, CompressorCloser> compressor(tjInitCompress());
    if (!compressor)
        return std::nullopt;
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const int status =
        tjCompress2(compressor.get(), reinterpret_cast<const unsigned char*>(image.bytes.data()),
                    static_cast<int>(image.width), static_cast<int>(image.stride),
                    static_cast<int>(image.height), TJPF_BGR, &output, &outputSize, TJSAMP_420,
                    kThumbnailJpegQuality, 0);
    const std::unique_ptr<unsigned char, BufferFreer> owned(output);
    if (status != 0 || output == nullptr)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(output), outputSize);
}

} // namespace Velto::Corvane
