// The Win32 types and window messages that every layer shares: the viewer
// reads them through the platform's window system, the backends post their
// input with them, and the page gets its copy of the numbers from here
// (src/platform/web/modules/keys_module.h).
#pragma once

#include <cstdint>

namespace orbex {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

// The window messages by name and number, for the constants below and for
// the page's copy.
#define ORBEX_WINDOW_MESSAGES(MESSAGE)                                                                                 \
    MESSAGE(NULL, 0x0000)                                                                                              \
    MESSAGE(CREATE, 0x0001)                                                                                            \
    MESSAGE(DESTROY, 0x0002)                                                                                           \
    MESSAGE(ACTIVATE, 0x0006)                                                                                          \
    MESSAGE(CLOSE, 0x0010)                                                                                             \
    MESSAGE(QUIT, 0x0012)                                                                                              \
    MESSAGE(ACTIVATEAPP, 0x001C)                                                                                       \
    MESSAGE(SETCURSOR, 0x0020)                                                                                         \
    MESSAGE(NCCREATE, 0x0081)                                                                                          \
    MESSAGE(NCDESTROY, 0x0082)                                                                                         \
    MESSAGE(KEYDOWN, 0x0100)                                                                                           \
    MESSAGE(KEYUP, 0x0101)                                                                                             \
    MESSAGE(CHAR, 0x0102)                                                                                              \
    MESSAGE(MOUSEMOVE, 0x0200)                                                                                         \
    MESSAGE(LBUTTONDOWN, 0x0201)                                                                                       \
    MESSAGE(LBUTTONUP, 0x0202)                                                                                         \
    MESSAGE(RBUTTONDOWN, 0x0204)                                                                                       \
    MESSAGE(RBUTTONUP, 0x0205)

#define ORBEX_DEFINE_MESSAGE(name, number) constexpr UINT WM_##name = number;
ORBEX_WINDOW_MESSAGES(ORBEX_DEFINE_MESSAGE)
#undef ORBEX_DEFINE_MESSAGE

// WM_SETCURSOR's lParam for a pointer moving over the window's client area.
constexpr LPARAM HTCLIENT = 1;
constexpr LPARAM SETCURSOR_MOVE = static_cast<LPARAM>(WM_MOUSEMOVE) << 16 | HTCLIENT;
// A WM_KEYDOWN's lParam: repeat count 1, with bit 30 set for an auto-repeat.
constexpr LPARAM KEY_PRESSED = 1;
constexpr LPARAM KEY_REPEATED = 1 | LPARAM{1} << 30;

} // namespace orbex
