#include "webapp/thumbnails/thumbnail_maker.h"

#include "webapp/thumbnails/flatten_on_white.h"
#include "webapp/thumbnails/jpeg_encoder.h"
#include "webapp/thumbnails/thumbnail_helper_process.h"

#include <thread>

namespace Velto::Corvane {

namespace {

std::size_t CoreCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

ThumbnailMaker::Options Completed(ThumbnailMaker::Options options) {
    if (options.helper.empty())
        options.helper = DefaultThumbnailHelper();
    if (options.maxRunning == 0)
        options.maxRunning = CoreCount();
    return options;
}

} // namespace

ThumbnailMaker::ThumbnailMaker(Options options)
    : m_options(Completed(std::move(options))), m_slots(m_options.maxRunning) {}

std::optional<std::string> ThumbnailMaker::MakeThumbnail(int fd, std::string_view name,
                                                         std::uint32_t pixels) {
    std::optional<ThumbnailBitmap> bitmap;
    {
        const ThumbnailSlots::Held slot(m_slots);
        bitmap = RunThumbnailHelper(m_options.helper, fd, pixels, name, m_options.timeout);
    }
    if (!bitmap)
        return std::nullopt;
    return EncodeJpeg(FlattenOnWhite(*bitmap));
}

} // namespace Velto::Corvane
