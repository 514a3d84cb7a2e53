// The window system as the viewer sees it: a message queue per thread, one
// procedure per window class, modal message boxes and the system pointer.
// The calls keep their Win32 names and codes so the viewer reads as it was
// written; the messages and key codes are common/win32.h's and
// common/keys.h's. The installed backend supplies the window and its input,
// or a script plays the input.
#pragma once

#include "common/keys.h"
#include "common/win32.h"

namespace orbex {

struct HWND__;
struct HINSTANCE__;
struct HICON__;
struct HMENU__;
struct HGDIOBJ__;
using HWND = HWND__ *;
using HINSTANCE = HINSTANCE__ *;
using HMODULE = HINSTANCE__ *;
using HICON = HICON__ *;
using HCURSOR = HICON__ *;
using HMENU = HMENU__ *;
using HGDIOBJ = HGDIOBJ__ *;
using HBRUSH = HGDIOBJ__ *;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char *lpszMenuName;
    const char *lpszClassName;
};

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

constexpr UINT MB_OK = 0x00000000;
constexpr int IDOK = 1;

constexpr DWORD WS_POPUP = 0x80000000;
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWDEFAULT = 10;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int BLACK_BRUSH = 4;
// Stock resources are named by small integers cast to a name pointer.
inline const char *const IDI_WINLOGO = reinterpret_cast<const char *>(32517);
inline const char *const IDC_ARROW = reinterpret_cast<const char *>(32512);

// Called by doInit: the viewer's window class and its one window.
BOOL RegisterClassA(const WNDCLASSA *wc);
HWND CreateWindowExA(DWORD exStyle, const char *className, const char *title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void *param);
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL UpdateWindow(HWND hwnd);
int GetSystemMetrics(int index);
HICON LoadIconA(HINSTANCE instance, const char *name);
HCURSOR LoadCursorA(HINSTANCE instance, const char *name);
HGDIOBJ GetStockObject(int object);
// Called by reportInitFailure; the default handling of WM_CLOSE uses it too.
BOOL DestroyWindow(HWND hwnd);
// Whether hwnd is the viewer's window and still there (tests).
BOOL IsWindow(HWND hwnd);
// Called by startMusic, as the original loaded its sound library.
HMODULE LoadLibraryA(const char *name);

// Called by runMessageLoop.
BOOL PeekMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlag);
BOOL GetMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageA(const MSG *msg);
BOOL WaitMessage();

// Called by viewerWindowProc.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HCURSOR SetCursor(HCURSOR cursor);

// Called by readPointerPosition.
BOOL GetCursorPos(POINT *point);
// Called wherever a failure is shown: the start-up, the display set-up, the
// font, the pictures and the music.
int MessageBoxA(HWND owner, const char *text, const char *caption, UINT type);

} // namespace orbex
