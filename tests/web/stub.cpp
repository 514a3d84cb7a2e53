// Test fixture, not the viewer: a small program that uses every function of
// orbex_web.h the way the viewer's web backend will, so the page, the build
// and the tests can be proven before that backend exists. It keeps a blocking
// loop (frames wait for the browser through Asyncify), draws a changing
// 640x480 frame, logs every input event it gets to orbex.log and the console,
// reads and writes files, and plays modules.
//
// Without ORBEX_SCRIPT it animates until F12 (B shows a box). With it, it runs the
// script's commands, one a line:
//   frames N            draw N frames
//   events N            draw frames until N more input events came (at most 3000)
//   until KEY           draw frames until a key press with this virtual-key
//                       code (such as 0x5a) came (at most 3000)
//   wait                wait for one input event without drawing
//   depth 16|24 [R G B] the pixel layout of the frames from now on
//   pattern moving|all  the picture: a moving gradient, or every 16-bit value
//   shot NAME.png       a shot of the last frame
//   say TEXT            a console line (tests wait for these)
//   box TEXT            a message box
//   write FILE TEXT     a file in the working folder
//   download FILE TEXT  offer TEXT as a download named FILE
//   cursor 0|1          hide or show the browser's pointer
//   cat FILE            the file's bytes into the log, as hex
//   init RATE / start / stop / volume V / play H / free H
//   load FILE           load a module; logs the handle
//   music FILE          init 44100, load, start, play
//   exit N              end with status N
#include <emscripten.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "common/frameview.h"
#include "platform/web/orbex_web.h"

namespace {

constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;

std::FILE *logFile = nullptr;
std::vector<std::uint8_t> frame(WIDTH *HEIGHT * 3);
int depth = 16;
std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
bool everyColour = false;
long frameCount = 0;
long eventCount = 0;
bool endRequested = false;
std::uint32_t stopKey = 0;
bool interactive = false;
bool stopKeySeen = false;

void say(const std::string &line) {
    if (logFile != nullptr) {
        std::fputs(line.c_str(), logFile);
        std::fputc('\n', logFile);
    }
    orbex_log(line.c_str());
}

int pitch() { return depth == 16 ? WIDTH * 2 : WIDTH * 3; }

// The frame as the page takes it, converted as the viewer's backend does.
std::vector<std::uint8_t> rgba(WIDTH *HEIGHT * 4);
const std::uint8_t *converted() {
    const orbex::FrameView view{frame.data(), WIDTH, HEIGHT, pitch(), depth, masks[0], masks[1], masks[2]};
    orbex::frameToRgba(view, 0, HEIGHT - 1, rgba.data());
    return rgba.data();
}

// A 16-bit pixel from 8-bit channels, packed by the current masks.
std::uint32_t pack(int r, int g, int b) {
    std::uint32_t word = 0;
    const int channel[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
        std::uint32_t mask = masks[i];
        if (mask == 0)
            continue;
        int shift = __builtin_ctz(mask);
        std::uint32_t max = mask >> shift;
        word |= ((static_cast<std::uint32_t>(channel[i]) * max / 255) << shift) & mask;
    }
    return word;
}

void draw() {
    const int p = pitch();
    for (int y = 0; y < HEIGHT; ++y) {
        std::uint8_t *row = frame.data() + y * p;
        for (int x = 0; x < WIDTH; ++x) {
            if (depth == 16) {
                std::uint32_t word = everyColour ? static_cast<std::uint32_t>(y * WIDTH + x) & 0xFFFF
                                                 : pack((x + frameCount * 4) & 255, y * 255 / HEIGHT, (x ^ y) & 255);
                row[2 * x] = static_cast<std::uint8_t>(word);
                row[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
            } else {
                std::uint32_t n = static_cast<std::uint32_t>(y * WIDTH + x) * 2654435761u;
                row[3 * x] = everyColour ? static_cast<std::uint8_t>(n >> 24) : static_cast<std::uint8_t>(x ^ y);
                row[3 * x + 1] = everyColour ? static_cast<std::uint8_t>(n >> 16) : static_cast<std::uint8_t>(y);
                row[3 * x + 2] =
                    everyColour ? static_cast<std::uint8_t>(n >> 8) : static_cast<std::uint8_t>(x + frameCount * 4);
            }
        }
    }
    if (everyColour)
        return;
    // A bar that runs along the top row of blocks shows the frames move on.
    for (int y = 0; y < 8; ++y)
        for (int x = (frameCount * 8) % WIDTH, e = x + 8; x < e; ++x)
            std::memset(frame.data() + y * p + x * (depth / 8), 0xFF, depth / 8);
}

void takeEvents() {
    std::uint32_t event[3];
    while (orbex_poll_event(event) != 0) {
        ++eventCount;
        char line[160];
        std::snprintf(line, sizeof line, "event 0x%04x 0x%x 0x%08x frame %ld", event[0], event[1], event[2],
                      frameCount);
        say(line);
        // The pointer as the viewer would read it for this message.
        if (event[0] == 0x0020 || event[0] == 0x0201 || event[0] == 0x0202 || event[0] == 0x0204) {
            std::int32_t xy[2];
            orbex_cursor_pos(xy);
            std::snprintf(line, sizeof line, "cursor %d %d", xy[0], xy[1]);
            say(line);
        }
        if (event[0] == 0x0100 && event[1] == 0x7B)
            endRequested = true;
        if (event[0] == 0x0100 && stopKey != 0 && event[1] == stopKey)
            stopKeySeen = true;
        // The interactive run shows a box on B, to try the page's dialog.
        if (event[0] == 0x0100 && event[1] == 'B' && interactive) {
            orbex_message_box("A box from the stub: Gr\xFC\xDF\x65 \x80", "ORBEX 5");
            say("box confirmed");
        }
    }
}

// One turn of the blocking loop: messages, a frame, the wait for the next.
void runFrame() {
    takeEvents();
    draw();
    orbex_present(converted(), WIDTH, HEIGHT, 0, HEIGHT - 1);
    ++frameCount;
    orbex_wait_frame();
}

std::vector<std::uint8_t> readFile(const std::string &name, bool *ok) {
    std::vector<std::uint8_t> bytes;
    // As the viewer does: a file of the magazine may still be on its way.
    orbex_wait_file(name.c_str());
    std::FILE *file = std::fopen(name.c_str(), "rb");
    *ok = file != nullptr;
    if (file == nullptr)
        return bytes;
    std::uint8_t buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

int loadModule(const std::string &name) {
    bool ok = false;
    std::vector<std::uint8_t> bytes = readFile(name, &ok);
    int handle = ok ? orbex_music_load(bytes.data(), static_cast<std::uint32_t>(bytes.size())) : 0;
    say("load " + name + " " + std::to_string(handle));
    return handle;
}

std::string rest(std::istringstream &in) {
    std::string text;
    std::getline(in, text);
    std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? "" : text.substr(start);
}

// Returns the exit status once the script says so, -1 to go on.
int runCommand(const std::string &line) {
    std::istringstream in(line);
    std::string word;
    in >> word;
    if (word.empty() || word[0] == '#')
        return -1;
    if (word == "frames") {
        long n = 0;
        in >> n;
        for (long i = 0; i < n; ++i)
            runFrame();
    } else if (word == "events") {
        long n = 0;
        in >> n;
        long target = eventCount + n;
        for (long i = 0; i < 3000 && eventCount < target; ++i)
            runFrame();
        takeEvents();
        if (eventCount < target)
            say("events missing " + std::to_string(target - eventCount));
    } else if (word == "until") {
        unsigned long key = 0;
        in >> std::hex >> key;
        stopKey = static_cast<std::uint32_t>(key);
        stopKeySeen = false;
        for (long i = 0; i < 3000 && !stopKeySeen; ++i)
            runFrame();
        if (!stopKeySeen)
            say("until missing");
        stopKey = 0;
    } else if (word == "wait") {
        orbex_wait_event();
        say("woke");
        takeEvents();
    } else if (word == "depth") {
        in >> depth;
        unsigned long r = 0, g = 0, b = 0;
        if (in >> std::hex >> r >> g >> b) {
            masks[0] = static_cast<std::uint32_t>(r);
            masks[1] = static_cast<std::uint32_t>(g);
            masks[2] = static_cast<std::uint32_t>(b);
        }
    } else if (word == "pattern") {
        everyColour = rest(in) == "all";
    } else if (word == "shot") {
        orbex_shot(rest(in).c_str(), converted(), WIDTH, HEIGHT);
    } else if (word == "say") {
        say(rest(in));
    } else if (word == "box") {
        orbex_message_box(rest(in).c_str(), "ORBEX 5");
        say("box confirmed");
    } else if (word == "write") {
        std::string name;
        in >> name;
        std::string text = rest(in);
        std::FILE *file = std::fopen(name.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        say("write " + name + (file != nullptr ? " ok" : " failed"));
    } else if (word == "download") {
        std::string name;
        in >> name;
        std::string text = rest(in);
        orbex_download(name.c_str(), text.data(), static_cast<std::uint32_t>(text.size()));
    } else if (word == "cursor") {
        int visible = 1;
        in >> visible;
        orbex_show_cursor(visible);
    } else if (word == "cat") {
        std::string name = rest(in);
        bool ok = false;
        std::vector<std::uint8_t> bytes = readFile(name, &ok);
        std::string hex;
        for (std::uint8_t b : bytes) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", b);
            hex += two;
        }
        say("cat " + name + (ok ? " " + hex : " missing"));
    } else if (word == "init") {
        unsigned long rate = 0;
        in >> rate;
        say("init " + std::to_string(orbex_sound_init(static_cast<std::uint32_t>(rate))));
    } else if (word == "start") {
        orbex_sound_start();
    } else if (word == "stop") {
        orbex_sound_stop();
    } else if (word == "volume") {
        int v = 0;
        in >> v;
        orbex_sound_volume(v);
    } else if (word == "play") {
        int h = 0;
        in >> h;
        say("play " + std::to_string(orbex_music_play(h)));
    } else if (word == "free") {
        int h = 0;
        in >> h;
        orbex_music_free(h);
    } else if (word == "load") {
        loadModule(rest(in));
    } else if (word == "music") {
        orbex_sound_init(44100);
        int handle = loadModule(rest(in));
        orbex_sound_start();
        say("play " + std::to_string(orbex_music_play(handle)));
    } else if (word == "exit") {
        int status = 0;
        in >> status;
        return status;
    } else {
        say("unknown command " + word);
        return 2;
    }
    return -1;
}

void reportMagazine() {
    bool ok = false;
    std::vector<std::uint8_t> bytes = readFile("data/orbex.dat", &ok);
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t b : bytes)
        hash = (hash ^ b) * 16777619u;
    char line[120];
    std::snprintf(line, sizeof line, "archive %s %zu bytes fnv 0x%08x", ok ? "found" : "missing", bytes.size(), hash);
    say(line);
}

} // namespace

int main(int argc, char **argv) {
    if (const char *folder = std::getenv("ORBEX_MAGAZINE"); folder != nullptr && *folder != 0)
        if (chdir(folder) != 0)
            std::fprintf(stderr, "stub: cannot enter %s\n", folder);
    logFile = std::fopen("orbex.log", "w");
    std::string args;
    for (int i = 1; i < argc; ++i)
        args += (i > 1 ? " " : "") + std::string(argv[i]);
    say("stub: args [" + args + "]");
    const char *clock = std::getenv("ORBEX_CLOCK");
    say(std::string("stub: clock [") + (clock != nullptr ? clock : "") + "]");
    // The monotonic clock the viewer's timeGetTime reads, in whole seconds.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    say("stub: monotonic " + std::to_string(now.tv_sec) + " s");
    reportMagazine();

    int status = 0;
    if (const char *path = std::getenv("ORBEX_SCRIPT")) {
        bool ok = false;
        std::vector<std::uint8_t> bytes = readFile(path, &ok);
        if (!ok) {
            std::fprintf(stderr, "stub: cannot read script %s\n", path);
            status = 1;
        }
        std::istringstream script(std::string(bytes.begin(), bytes.end()));
        std::string line;
        while (ok && std::getline(script, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            int end = runCommand(line);
            if (end >= 0) {
                status = end;
                break;
            }
        }
    } else {
        interactive = true;
        while (!endRequested)
            runFrame();
    }
    say("stub: end " + std::to_string(status) + " after " + std::to_string(frameCount) + " frames");
    std::fclose(logFile);
    // With emscripten 3.1.6 a return from main after the program has slept
    // ends nothing; exit does, and the page hears of it.
    std::exit(status);
}
