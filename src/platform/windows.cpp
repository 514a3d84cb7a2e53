#include "platform/windows.h"

#include <deque>
#include <string>

#include "platform/backend.h"

namespace orbex {

namespace {

struct WindowClass {
    std::string name;
    WNDPROC proc = nullptr;
};

struct Window {
    std::uintptr_t id = 0;
    WNDPROC proc = nullptr;
    bool alive = false;
    bool destroying = false;
};

std::deque<WindowClass> classes;
Window window; // the one window of the viewer
std::uintptr_t nextWindowId = 1;
std::deque<MSG> queue; // posted messages, oldest first
bool quitPosted = false;
int quitCode = 0;

HWND handleOf(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }

bool isAlive(HWND hwnd) { return hwnd != nullptr && window.alive && handleOf(window.id) == hwnd; }

// Messages posted to a window that is gone are dropped, as the window system
// does when they come up.
void dropDeadMessages() {
    while (!queue.empty() && queue.front().hwnd != nullptr && !isAlive(queue.front().hwnd))
        queue.pop_front();
}

bool takeWaiting(MSG *msg, bool remove) {
    dropDeadMessages();
    if (queue.empty()) {
        videoBackend()->pumpEvents(false);
        dropDeadMessages();
    }
    if (!queue.empty()) {
        *msg = queue.front();
        if (remove)
            queue.pop_front();
        return true;
    }
    // The quit message comes only once nothing else waits.
    if (quitPosted) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, 0, {0, 0}};
        if (remove)
            quitPosted = false;
        return true;
    }
    return false;
}

LRESULT callProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isAlive(hwnd) || window.proc == nullptr)
        return 0;
    return window.proc(hwnd, message, wParam, lParam);
}

// Stock objects only need to be distinct and non-null.
template <typename H> H stockHandle(std::uintptr_t n) { return reinterpret_cast<H>(0x10000 + n); }

} // namespace

BOOL RegisterClassA(const WNDCLASSA *wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr)
        return FALSE;
    for (const auto &c : classes)
        if (c.name == wc->lpszClassName)
            return FALSE;
    classes.push_back({wc->lpszClassName, wc->lpfnWndProc});
    return TRUE;
}

HWND CreateWindowExA(DWORD, const char *className, const char *title, DWORD, int, int, int width, int height, HWND,
                     HMENU, HINSTANCE, void *) {
    const WindowClass *cls = nullptr;
    for (const auto &c : classes)
        if (className != nullptr && c.name == className)
            cls = &c;
    if (cls == nullptr || window.alive)
        return nullptr;
    if (!videoBackend()->openWindow(title != nullptr ? title : "", width, height))
        return nullptr;
    window = Window{nextWindowId++, cls->proc, true, false};
    HWND hwnd = handleOf(window.id);
    callProc(hwnd, WM_NCCREATE, 0, 0);
    callProc(hwnd, WM_CREATE, 0, 0);
    return hwnd;
}

BOOL ShowWindow(HWND hwnd, int) {
    if (!isAlive(hwnd))
        return FALSE;
    videoBackend()->showWindow();
    // Showing the window makes the viewer the active application, which the
    // procedure hears at once, as on Windows.
    callProc(hwnd, WM_ACTIVATEAPP, 1, 0);
    return FALSE;
}

BOOL UpdateWindow(HWND hwnd) { return isAlive(hwnd) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND hwnd) {
    if (!isAlive(hwnd) || window.destroying)
        return FALSE;
    window.destroying = true;
    callProc(hwnd, WM_DESTROY, 0, 0);
    callProc(hwnd, WM_NCDESTROY, 0, 0);
    window.alive = false;
    videoBackend()->closeWindow();
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return isAlive(hwnd) ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
    if (index == SM_CXSCREEN)
        return videoBackend()->screenWidth();
    if (index == SM_CYSCREEN)
        return videoBackend()->screenHeight();
    return 0;
}

HICON LoadIconA(HINSTANCE, const char *name) { return stockHandle<HICON>(reinterpret_cast<std::uintptr_t>(name)); }

HCURSOR LoadCursorA(HINSTANCE, const char *name) {
    return stockHandle<HCURSOR>(reinterpret_cast<std::uintptr_t>(name));
}

HGDIOBJ GetStockObject(int object) { return stockHandle<HGDIOBJ>(static_cast<std::uintptr_t>(object)); }

HMODULE LoadLibraryA(const char *) { return stockHandle<HMODULE>(1); }

BOOL PeekMessageA(MSG *msg, HWND, UINT, UINT, UINT removeFlag) {
    return takeWaiting(msg, (removeFlag & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG *msg, HWND, UINT, UINT) {
    while (!takeWaiting(msg, true))
        videoBackend()->pumpEvents(true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

LRESULT DispatchMessageA(const MSG *msg) { return callProc(msg->hwnd, msg->message, msg->wParam, msg->lParam); }

BOOL WaitMessage() {
    dropDeadMessages();
    if (queue.empty() && !quitPosted)
        videoBackend()->pumpEvents(true);
    return TRUE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isAlive(hwnd))
        return FALSE;
    queue.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    quitPosted = true;
    quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        DestroyWindow(hwnd);
    return 0;
}

BOOL GetCursorPos(POINT *point) {
    if (point == nullptr)
        return FALSE;
    return videoBackend()->cursorPos(point) ? TRUE : FALSE;
}

HCURSOR SetCursor(HCURSOR cursor) {
    if (cursor == nullptr)
        videoBackend()->hideSystemCursor();
    return nullptr;
}

int MessageBoxA(HWND, const char *text, const char *caption, UINT) {
    videoBackend()->messageBox(text != nullptr ? text : "", caption != nullptr ? caption : "");
    return IDOK;
}

void postInputMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (window.alive)
        queue.push_back(MSG{handleOf(window.id), message, wParam, lParam, 0, {0, 0}});
}

void resetWindowSystem() {
    classes.clear();
    window = Window{};
    queue.clear();
    quitPosted = false;
    quitCode = 0;
}

} // namespace orbex
