#include "webapp/thumbnails/thumbnail_maker.h"

#include "webapp/thumbnails/flatten_on_white.h"
#include "webapp/thumbnails/jpeg_encoder.h"
#include "webapp/thumbnails/thumbnail_helper_process.h"

#include <algorithm>
#include <thread>

namespace Velto::Corvane {

namespace {

// Two at least, so that one slow file never leaves a single helper busy.
constexpr std::size_t kMinRunning = 2;

std::size_t CoreCount() {
    return std::max<std::size_t>(std::thread::hardware_concurrency(), kMinRunning);
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
    : m_options(Completed(std::move(options))), m_slots(m_options.maxRunning, m_options.perClient) {
}

std::optional<std::string> ThumbnailMaker::MakeThumbnail(int fd, std::string_view name,
                                                         std::uint32_t pixels,
                                                         std::string_view client,
                                                         std::uint64_t now) {
    const std::optional<FileVersion> version = FileVersionOf(fd);
    if (!version)
        return std::nullopt;
    std::optional<ThumbnailFailures::Attempt> attempt = m_failures.Begin(*version, now);
    if (!attempt)
        return std::nullopt;
    HelperResult result;
    {
        const ThumbnailSlots::Held slot(m_slots, client);
        result = RunThumbnailHelper(m_options.helper, fd, pixels, name, m_options.timeout);
    }
    if (!result.bitmap) {
        if (result.started)
            attempt->Failed(now);
        return std::nullopt;
    }
    return EncodeJpeg(FlattenOnWhite(*result.bitmap));
}

} // namespace Velto::Corvane
