#pragma once

#include "config/config.h"
#include "widget/core/widget.h"
#include "widget/menu/menu_item.h"
#include "widget/render/bitmap.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace App {

// What the main window and its pages need from the native window and the
// desktop around it: its content and title, the UI thread's task queue, the
// clipboard, the modal dialogs, questions and pickers it owns, its popup
// menu, the file manager and the start-at-sign-in entry. The
// program fills it from the toolkit's window; screenshots and tests fill it
// with a headless host. Empty callbacks leave their action out.
struct WindowServices {
    // Puts the root into the window (or a headless host), which takes it
    // and drops the previous one; called once per frame, before timers are
    // started on it. Unset, the main window keeps the root itself.
    std::function<void(std::unique_ptr<Velto::Widget::Widget> root)> setContent;
    std::function<void(const std::u16string& title)> setTitle;
    // Application::Post: runs a task on the UI thread later; callable from
    // any thread.
    std::function<void(std::function<void()>)> post;
    std::function<bool(std::u16string_view text)> copyText;
    std::function<void(Velto::Widget::Widget& anchor, std::vector<Velto::Widget::MenuItem> items,
                       std::function<void(std::uint32_t id)> chosen)>
        showMenu;
    std::function<void(const std::u16string& address)> showQr;
    std::function<bool(const Velto::Corvane::Config& config, Velto::Corvane::Share& share,
                       bool isNew)>
        editShare;
    // True when the user confirmed; only then is `account` changed.
    std::function<bool(const Velto::Corvane::Config& config, Velto::Corvane::Account& account,
                       bool isNew)>
        editAccount;
    // The new-link dialog for a share: `keep` stores the link the user
    // confirmed and gives the address the dialog then shows (empty while the
    // server has none; none when the share is gone). True when a link was kept.
    std::function<bool(
        const Velto::Corvane::Share& share,
        const std::function<std::optional<std::u16string>(const Velto::Corvane::ShareLink&)>& keep)>
        newLink;
    // A link's address with copy and a QR code, titled with the link's name.
    std::function<void(const std::u16string& title, const std::u16string& address)> showLink;
    std::function<bool(const std::u16string& title, const std::u16string& text)> ask;
    std::function<void(const std::u16string& text)> inform;
    std::function<void(const std::u16string& text)> showError;
    std::function<std::optional<std::string>(const std::u16string& title)> pickFolder;
    std::function<std::vector<std::string>(const std::u16string& title)> pickFiles;
    // One file, filtered to the given description and patterns ("*.pfx;*.p12").
    std::function<std::optional<std::string>(const std::u16string& title,
                                             const std::u16string& description,
                                             const std::u16string& patterns)>
        pickFile;
    std::function<void(std::u16string_view url)> openAddress;
    std::function<void(const Velto::Corvane::Share& share)> openShareLocation;
    std::function<std::shared_ptr<const Velto::Widget::Bitmap>(const Velto::Corvane::Share&)>
        shareIcon;
    std::function<bool(const std::string& folder)> openFolder;
    std::function<bool()> isAutostartEnabled;
    std::function<bool(bool enable)> setAutostart;
};

} // namespace App
