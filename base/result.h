#pragma once

#include <cstdint>
#include <string>

namespace Velto {

// Result codes keep the HRESULT shape: 0 is success, negative is failure.
using Result = std::int32_t;

constexpr Result kOk = 0;
constexpr Result kFalse = 1;                               // S_FALSE: success with nothing done
constexpr Result kFail = static_cast<Result>(0x80004005u); // E_FAIL
constexpr Result kInvalidArg = static_cast<Result>(0x80070057u);   // E_INVALIDARG
constexpr Result kAccessDenied = static_cast<Result>(0x80070005u); // E_ACCESSDENIED
constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);  // E_OUTOFMEMORY
constexpr Result kNotConnected = static_cast<Result>(0x80072749u); // WSAENOTCONN
constexpr Result kTimedOut = static_cast<Result>(0x8007274Cu);     // WSAETIMEDOUT
constexpr Result kAddrInUse = static_cast<Result>(0x80072740u);    // WSAEADDRINUSE
constexpr Result kSocketAccess = static_cast<Result>(0x8007271Du); // WSAEACCES
constexpr Result kFileNotFound = static_cast<Result>(0x80070002u);
constexpr Result kPathNotFound = static_cast<Result>(0x80070003u);
constexpr Result kAlreadyExists = static_cast<Result>(0x800700B7u);
constexpr Result kDiskFull = static_cast<Result>(0x80070070u);

constexpr bool Succeeded(Result r) {
    return r >= 0;
}
constexpr bool Failed(Result r) {
    return r < 0;
}

// A Win32/Winsock error number in its HRESULT form; 0 and negative values pass through.
constexpr Result ResultFromWin32(std::int32_t e) {
    return e <= 0 ? e
                  : static_cast<Result>(0x80070000u | (static_cast<std::uint32_t>(e) & 0xFFFFu));
}

// Maps a POSIX errno to the Windows-shaped code callers and users see.
// `onBind` selects the bind() reading of EACCES/EPERM (WSAEACCES).
Result ResultFromErrno(int err, bool onBind = false);

// Eight upper-case hexadecimal digits of the unsigned value, e.g. "80072740".
std::string FormatResult(Result r);

} // namespace Velto
