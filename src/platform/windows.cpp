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
// Input waiting for a frame: a left-button release whose press no frame has
// drawn yet, and everything that came after it, oldest first. Press and
// release often come in one burst (a tap on a touchpad, a fast click,
// automation); without a frame between them the viewer would never see the
// press.
std::deque<MSG> held;
bool bPressUnseen = false; // a left press was queued after the last frame drawn
bool quitPosted = false;
int quitCode = 0;

HWND handleOf(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }

bool isAlive(HWND hwnd) { return hwnd != nullptr && window.alive && handleOf(window.id) == hwnd; }

// Messages posted to a window that is gone are dropped, as the window system
// does when they come up.
void dropDeadMessages() {
    while (!queue.empty() && queue.front().hwnd != nullptr && !isAlive(queue.front().hwnd))
        queue.pop_front();
    while (!held.empty() && !isAlive(held.front().hwnd))
        held.pop_front();
}

void queueInput(const MSG &msg) {
    if (!held.empty() || (msg.message == WM_LBUTTONUP && bPressUnseen)) {
        held.push_back(msg);
        return;
    }
    if (msg.message == WM_LBUTTONDOWN)
        bPressUnseen = true;
    queue.push_back(msg);
}

bool takeWaiting(MSG *msg, bool remove) {
    dropDeadMessages();
    // Held input waits for the frame the loop draws when it finds nothing here.
    if (queue.empty() && held.empty()) {
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
    while (!takeWaiting(msg, true)) {
        // No frame is drawn while waiting here.
        if (!held.empty())
            releaseHeldInput();
        else
            videoBackend()->pumpEvents(true);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

LRESULT DispatchMessageA(const MSG *msg) { return callProc(msg->hwnd, msg->message, msg->wParam, msg->lParam); }

BOOL WaitMessage() {
    dropDeadMessages();
    // The loop sleeps instead of drawing: held input need not wait for a frame.
    if (!held.empty())
        releaseHeldInput();
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
        queueInput(MSG{handleOf(window.id), message, wParam, lParam, 0, {0, 0}});
}

void releaseHeldInput() {
    bPressUnseen = false;
    std::deque<MSG> waiting;
    waiting.swap(held);
    // Through the same rule again: of a double tap in one burst, the second
    // release waits for the next frame.
    for (const MSG &msg : waiting)
        queueInput(msg);
}

void resetWindowSystem() {
    classes.clear();
    window = Window{};
    queue.clear();
    held.clear();
    bPressUnseen = false;
    quitPosted = false;
    quitCode = 0;
}

} // namespace orbex
