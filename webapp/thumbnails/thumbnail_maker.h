#pragma once

#include "webapp/thumbnails/thumbnail_failures.h"
#include "webapp/thumbnails/thumbnail_slots.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Velto::Corvane {

// Makes JPEG thumbnails. Decoding happens only in the helper executable, one
// process per thumbnail, never in this process (the files are visitors'
// uploads); here the helper's pixels are flattened on white and encoded.
class ThumbnailMaker {
public:
    // A helper that has not answered by then is killed: no thumbnail.
    static constexpr std::chrono::milliseconds kHelperTimeout{10'000};

    struct Options {
        std::string helper; // empty: the installed helper
        std::chrono::milliseconds timeout{kHelperTimeout};
        std::size_t maxRunning{0}; // 0: one per processor core, at least two
        std::size_t perClient{0};  // helpers one client may hold; 0: half of maxRunning
    };

    ThumbnailMaker() : ThumbnailMaker(Options{}) {}
    explicit ThumbnailMaker(Options options);
    ThumbnailMaker(const ThumbnailMaker&) = delete;
    ThumbnailMaker& operator=(const ThumbnailMaker&) = delete;

    // The thumbnail of the open regular file `fd` fitting `pixels` x `pixels`,
    // or none when the file has none (not an image or video, damaged, too
    // large, or the helper failed). `name` is the item's name, a hint to its
    // type. `client` is the requester's address group: it waits for its turn
    // while the slots are taken. A version of a file the helper failed on
    // recently (`now`, ms) gets none without a helper.
    std::optional<std::string> MakeThumbnail(int fd, std::string_view name, std::uint32_t pixels,
                                             std::string_view client, std::uint64_t now);

    const std::string& Helper() const { return m_options.helper; }

private:
    Options m_options;
    ThumbnailSlots m_slots;
    ThumbnailFailures m_failures;
};

// The helper executable for a program at `executable`: one beside it, else
// the installed one (../libexec/veltocorvane/ seen from the program's bin
// folder), else the one of the build tree this program was built in.
std::string FindThumbnailHelper(std::string_view executable);

// The same for this process's own executable.
std::string DefaultThumbnailHelper();

} // namespace Velto::Corvane
