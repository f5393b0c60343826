#pragma once

namespace App::Glyph {

// Icon-font code points the window and its dialogs use; the toolkit maps them
// to the installed icon font.
constexpr char32_t kBack = 0xE72B;
constexpr char32_t kAccounts = 0xE716;
constexpr char32_t kLog = 0xE81C;
constexpr char32_t kSettings = 0xE713;
constexpr char32_t kError = 0xEA39;
constexpr char32_t kStart = 0xE768;
constexpr char32_t kCopy = 0xE8C8;
constexpr char32_t kCheckMark = 0xE73E;
constexpr char32_t kOpenInBrowser = 0xE8A7;
constexpr char32_t kQrCode = 0xED14;
constexpr char32_t kWarning = 0xE7BA;
constexpr char32_t kInfo = 0xE946;
constexpr char32_t kProgress = 0xE895;
constexpr char32_t kDropDown = 0xE70D;
constexpr char32_t kAddFiles = 0xE8A5;
constexpr char32_t kAdd = 0xE710;
constexpr char32_t kEmptyFolder = 0xE8F4;
constexpr char32_t kLink = 0xE71B;
constexpr char32_t kShareLink = 0xE72D;
constexpr char32_t kOpenFolder = 0xE838;
constexpr char32_t kEdit = 0xE70F;
constexpr char32_t kStopSharing = 0xE711;
constexpr char32_t kLock = 0xE72E;

} // namespace App::Glyph
