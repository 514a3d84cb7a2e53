#include "platform/windows.h"

#include <chrono>
#include <deque>
#include <string>

#include "platform/internal.h"
#include "platform/testing.h"

namespace orbex {

namespace {

// A desktop keeps sending a window small messages of its own; the viewer acts
// on a quit request (the end of the fade, a missing background) only when a
// message comes, so an idle window gets an empty one now and then.
constexpr std::chrono::milliseconds IDLE_MESSAGE_TIME{500};
using RealClock = std::chrono::steady_clock;

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

struct WindowSystem {
    std::deque<WindowClass> classes;
    Window window; // the one window of the viewer
    std::uintptr_t nextWindowId = 1;
    std::deque<MSG> queue; // posted messages, oldest first
    // Input waiting for a frame: a left-button release whose press no frame
    // has drawn yet, and everything that came after it, oldest first. Press
    // and release often come in one burst (a tap on a touchpad, a fast
    // click, automation); without a frame between them the viewer would
    // never see the press.
    std::deque<MSG> held;
    bool pressUnseen = false; // a left press was queued after the last frame drawn
    bool quitPosted = false;
    int quitCode = 0;
    // Input messages posted so far, and when the last input or idle message came.
    std::uint64_t inputCount = 0;
    RealClock::time_point lastInput{};
    // Tests: the next window creation fails.
    bool refuseWindow = false;
};

WindowSystem windows;

HWND handleOf(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }

bool isAlive(HWND hwnd) { return hwnd != nullptr && windows.window.alive && handleOf(windows.window.id) == hwnd; }

// Messages posted to a window that is gone are dropped, as the window system
// does when they come up.
void dropDeadMessages() {
    while (!windows.queue.empty() && windows.queue.front().hwnd != nullptr && !isAlive(windows.queue.front().hwnd))
        windows.queue.pop_front();
    while (!windows.held.empty() && !isAlive(windows.held.front().hwnd))
        windows.held.pop_front();
}

void queueInput(const MSG &msg) {
    if (!windows.held.empty() || (msg.message == WM_LBUTTONUP && windows.pressUnseen)) {
        windows.held.push_back(msg);
        return;
    }
    if (msg.message == WM_LBUTTONDOWN)
        windows.pressUnseen = true;
    windows.queue.push_back(msg);
}

// The input that has come meanwhile: the script's next command, or the
// backend's events and, when a look finds none for a while, an idle message.
void pumpInput(bool wait) {
    if (inputScripted()) {
        playScript(windows.window.alive);
        return;
    }
    std::uint64_t before = windows.inputCount;
    videoBackend()->pumpEvents(wait);
    RealClock::time_point now = RealClock::now();
    if (windows.inputCount == before) {
        if (!windows.window.alive || now - windows.lastInput < IDLE_MESSAGE_TIME)
            return;
        postInputMessage(WM_NULL, 0, 0);
    }
    windows.lastInput = now;
}

bool takeWaiting(MSG *msg, bool remove) {
    dropDeadMessages();
    // Held input waits for the frame the loop draws when it finds nothing here.
    if (windows.queue.empty() && windows.held.empty()) {
        pumpInput(false);
        dropDeadMessages();
    }
    if (!windows.queue.empty()) {
        *msg = windows.queue.front();
        if (remove)
            windows.queue.pop_front();
        return true;
    }
    // The quit message comes only once nothing else waits.
    if (windows.quitPosted) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(windows.quitCode), 0, 0, {0, 0}};
        if (remove)
            windows.quitPosted = false;
        return true;
    }
    return false;
}

LRESULT callProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isAlive(hwnd) || windows.window.proc == nullptr)
        return 0;
    return windows.window.proc(hwnd, message, wParam, lParam);
}

// Stock objects only need to be distinct and non-null.
template <typename H> H stockHandle(std::uintptr_t n) { return reinterpret_cast<H>(0x10000 + n); }

} // namespace

BOOL RegisterClassA(const WNDCLASSA *wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr)
        return FALSE;
    for (const auto &c : windows.classes)
        if (c.name == wc->lpszClassName)
            return FALSE;
    windows.classes.push_back({wc->lpszClassName, wc->lpfnWndProc});
    return TRUE;
}

HWND CreateWindowExA(DWORD, const char *className, const char *title, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                     void *) {
    const WindowClass *cls = nullptr;
    for (const auto &c : windows.classes)
        if (className != nullptr && c.name == className)
            cls = &c;
    if (cls == nullptr || windows.window.alive)
        return nullptr;
    if (windows.refuseWindow) {
        windows.refuseWindow = false;
        return nullptr;
    }
    if (!videoBackend()->openWindow(title != nullptr ? title : ""))
        return nullptr;
    windows.window = Window{windows.nextWindowId++, cls->proc, true, false};
    HWND hwnd = handleOf(windows.window.id);
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
    if (!isAlive(hwnd) || windows.window.destroying)
        return FALSE;
    windows.window.destroying = true;
    callProc(hwnd, WM_DESTROY, 0, 0);
    callProc(hwnd, WM_NCDESTROY, 0, 0);
    windows.window.alive = false;
    videoBackend()->closeWindow();
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return isAlive(hwnd) ? TRUE : FALSE; }

void closeWindowNow() {
    const HWND hwnd = handleOf(windows.window.id);
    if (isAlive(hwnd) && !windows.window.destroying)
        callProc(hwnd, WM_CLOSE, 0, 0);
}

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
        if (!windows.held.empty())
            releaseHeldInput();
        else
            pumpInput(true);
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

LRESULT DispatchMessageA(const MSG *msg) { return callProc(msg->hwnd, msg->message, msg->wParam, msg->lParam); }

BOOL WaitMessage() {
    dropDeadMessages();
    // The loop sleeps instead of drawing: held input need not wait for a frame.
    if (!windows.held.empty())
        releaseHeldInput();
    if (windows.queue.empty() && !windows.quitPosted)
        pumpInput(true);
    return TRUE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!isAlive(hwnd))
        return FALSE;
    windows.queue.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    windows.quitPosted = true;
    windows.quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE)
        DestroyWindow(hwnd);
    return 0;
}

BOOL GetCursorPos(POINT *point) {
    if (point == nullptr)
        return FALSE;
    if (inputScripted()) {
        *point = scriptCursor();
        return TRUE;
    }
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
    ++windows.inputCount;
    if (windows.window.alive)
        queueInput(MSG{handleOf(windows.window.id), message, wParam, lParam, 0, {0, 0}});
}

void releaseHeldInput() {
    windows.pressUnseen = false;
    std::deque<MSG> waiting;
    waiting.swap(windows.held);
    // Through the same rule again: of a double tap in one burst, the second
    // release waits for the next frame.
    for (const MSG &msg : waiting)
        queueInput(msg);
}

void failWindowCreation() { windows.refuseWindow = true; }

void resetWindowSystem() { windows = WindowSystem{}; }

} // namespace orbex
