#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct SDL_Window;
union SDL_Event;
struct _XDisplay;

namespace Velto::Widget::X11 {

// An image on the desktop clipboard (the CLIPBOARD selection) as PNG bytes,
// which SDL does not do. A hidden window of our own on SDL's connection to
// the display owns the selection; the requests of other programs reach it
// as SDL system events, which the UI loop hands to HandleEvent. UI thread.
class ImageSelection {
public:
    // Larger answers would need the incremental (INCR) transfer, which
    // neither side here speaks; the server's largest request bounds them.
    static constexpr std::size_t kRequestHeaderBytes = 64;
    // How long reading another program's image may take.
    static constexpr int kReadTimeoutMs = 2000;

    // On the display of `any` (one of the program's windows); none when it
    // does not run on X11.
    static std::unique_ptr<ImageSelection> Create(SDL_Window* any);
    ~ImageSelection();
    ImageSelection(const ImageSelection&) = delete;
    ImageSelection& operator=(const ImageSelection&) = delete;

    // Takes the clipboard with the image. `secret` asks clipboard managers
    // to keep it out of their history. False when the bytes are too large
    // or the selection could not be taken.
    bool Offer(std::vector<std::uint8_t> png, bool secret);
    // Remembers the current owner of the clipboard as SDL's text window
    // (called right after SDL took it for text): it never holds an image,
    // and asking it would wait for an answer only this thread can give.
    void NoteTextOwner();
    // The PNG bytes on the clipboard (ours, or another program's); none
    // when it holds no PNG image or the owner does not answer in time.
    std::optional<std::vector<std::uint8_t>> ReadPng();
    // Answers a request for the selection, or lets go of the image when
    // another program took the clipboard. True when the event was ours.
    bool HandleEvent(const SDL_Event& event);

private:
    ImageSelection(_XDisplay* display, unsigned long window);
    std::size_t LargestAnswer() const;

    _XDisplay* m_display{nullptr};
    unsigned long m_window{0};
    unsigned long m_clipboard{0};
    unsigned long m_targets{0};
    unsigned long m_timestamp{0};
    unsigned long m_png{0};
    unsigned long m_passwordHint{0};
    unsigned long m_transfer{0};
    unsigned long m_ownedSince{0};
    unsigned long m_textOwner{0};
    bool m_secret{false};
    std::vector<std::uint8_t> m_bytes;
};

} // namespace Velto::Widget::X11
