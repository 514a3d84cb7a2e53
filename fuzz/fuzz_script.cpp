// Any bytes as a headless input script (ORBEX_SCRIPT): parsed, then played
// into a window as the message loop plays it, for a bounded number of looks
// at the queue.
#include <cstdint>
#include <string>

#include "platform/script.h"
#include "platform/windows.h"
#include "support.h"

namespace {

// More looks than a short script needs; a long "frames" count is cut here.
constexpr int LOOKS = 4096;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    orbex::fuzz::enterScratchFolder("script");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace orbex;
    InputScript script;
    std::string error;
    if (!script.load(std::string(reinterpret_cast<const char *>(data), size), error))
        return 0;
    fuzz::resetViewer();
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; };
    wc.lpszClassName = "fuzz";
    RegisterClassA(&wc);
    CreateWindowExA(0, "fuzz", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    std::size_t shots = 0;
    for (int look = 0; look < LOOKS; ++look) {
        script.pump(true, [&](const std::string &) { ++shots; });
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        }
    }
    return 0;
}
