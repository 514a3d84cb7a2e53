#include "platform/script.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/files.h"
#include "common/keys.h"
#include "platform/internal.h"
#include "platform/places.h"
#include "platform/testing.h"

namespace orbex {

namespace {

// Far from zero, like a system that has been up for a while.
constexpr DWORD VIRTUAL_CLOCK_START = 5 * 3600 * 1000;

bool parseNumber(const std::string &word, long *value) {
    if (word.empty())
        return false;
    char *end = nullptr;
    *value = std::strtol(word.c_str(), &end, 0);
    return end != nullptr && *end == 0;
}

// The first words (at most count) of a line, split at blanks as a stream
// reads words; without a stream, whose locales would weigh down the browser's
// program.
std::vector<std::string> wordsOf(const std::string &line, std::size_t count) {
    std::vector<std::string> words;
    const char *const blanks = " \t\n\v\f\r";
    for (std::size_t at = line.find_first_not_of(blanks); at != std::string::npos && words.size() < count;) {
        const std::size_t end = line.find_first_of(blanks, at);
        words.push_back(line.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? end : line.find_first_not_of(blanks, end);
    }
    return words;
}

bool parseKey(const std::string &word, long *code) {
    if (UINT named = keyNamed(word); named != 0) {
        *code = static_cast<long>(named);
        return true;
    }
    return word.rfind("0x", 0) == 0 && parseNumber(word, code) && *code > 0 && *code < 256;
}

// The script that plays the input of a backend that offers it.
struct Automation {
    InputScript script;
    bool scripted = false;
};

Automation automation;

// A "shot": the last shown frame, as the backend takes pictures.
void shoot(const std::string &name) { videoBackend()->shot(name, shownFrame()); }

} // namespace

bool InputScript::parseLine(const std::string &raw, Line *out, std::string &why) {
    const std::vector<std::string> words = wordsOf(raw, 4);
    const std::string word = words.size() > 0 ? words[0] : "";
    const std::string arg1 = words.size() > 1 ? words[1] : "";
    const std::string arg2 = words.size() > 2 ? words[2] : "";
    const std::string extra = words.size() > 3 ? words[3] : "";
    auto want = [&](int n) {
        bool ok = (n >= 1) == !arg1.empty() && (n >= 2) == !arg2.empty() && extra.empty();
        if (!ok)
            why = word + " takes " + std::to_string(n) + (n == 1 ? " argument" : " arguments");
        return ok;
    };
    if (word == "frames") {
        if (!want(1) || !parseNumber(arg1, &out->a) || out->a < 0)
            return (why = why.empty() ? "frames needs a count" : why), false;
        out->command = Command::Frames;
    } else if (word == "key") {
        if (!want(1) || !parseKey(arg1, &out->a))
            return (why = why.empty() ? "unknown key " + arg1 : why), false;
        out->command = Command::Key;
    } else if (word == "move") {
        if (!want(2) || !parseNumber(arg1, &out->a) || !parseNumber(arg2, &out->b))
            return (why = why.empty() ? "move needs X and Y" : why), false;
        out->command = Command::Move;
    } else if (word == "ldown" || word == "lup" || word == "rdown" || word == "close") {
        if (!want(0))
            return false;
        out->command = word == "ldown"   ? Command::LeftDown
                       : word == "lup"   ? Command::LeftUp
                       : word == "rdown" ? Command::RightDown
                                         : Command::Close;
    } else if (word == "activate") {
        if (!want(1) || (arg1 != "0" && arg1 != "1"))
            return (why = why.empty() ? "activate takes 0 or 1" : why), false;
        out->command = Command::Activate;
        out->a = arg1 == "1" ? 1 : 0;
    } else if (word == "shot") {
        if (!want(1))
            return false;
        out->command = Command::Shot;
        out->file = arg1;
    } else {
        why = "unknown command " + word;
        return false;
    }
    return true;
}

bool InputScript::load(const std::string &text, std::string &error) {
    std::vector<Line> parsed;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string raw = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (auto hash = raw.find('#'); hash != std::string::npos)
            raw.erase(hash);
        if (raw.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        Line line{};
        std::string why;
        if (!parseLine(raw, &line, why)) {
            error = "line " + std::to_string(number) + ": " + (why.empty() ? "bad arguments" : why);
            return false;
        }
        parsed.push_back(line);
    }
    lines = std::move(parsed);
    next = 0;
    framesLeft = 0;
    closeSent = false;
    return true;
}

// One command per look for a message, as a user's actions come one at a
// time; "frames N" lets the loop find the queue empty N times.
void InputScript::pump(bool windowOpen, const std::function<void(const std::string &)> &shot) {
    while (true) {
        if (framesLeft > 0) {
            --framesLeft;
            return;
        }
        if (next >= lines.size()) {
            if (!closeSent && windowOpen) {
                closeSent = true;
                postInputMessage(WM_CLOSE, 0, 0);
            }
            return;
        }
        const Line &line = lines[next++];
        switch (line.command) {
        case Command::Frames:
            framesLeft = line.a;
            continue;
        case Command::Shot:
            shot(line.file);
            continue;
        case Command::Key:
            postInputMessage(WM_KEYDOWN, static_cast<WPARAM>(line.a), KEY_PRESSED);
            return;
        case Command::Move:
            cursorAt = POINT{static_cast<LONG>(line.a), static_cast<LONG>(line.b)};
            postInputMessage(WM_SETCURSOR, 0, SETCURSOR_MOVE);
            return;
        case Command::LeftDown:
            postInputMessage(WM_LBUTTONDOWN, 1, 0);
            return;
        case Command::LeftUp:
            postInputMessage(WM_LBUTTONUP, 0, 0);
            return;
        case Command::RightDown:
            postInputMessage(WM_RBUTTONDOWN, 2, 0);
            return;
        case Command::Activate:
            postInputMessage(WM_ACTIVATEAPP, static_cast<WPARAM>(line.a), 0);
            return;
        case Command::Close:
            postInputMessage(WM_CLOSE, 0, 0);
            return;
        }
    }
}

bool startAutomation(bool always, bool fromEnvironment) {
    automation = Automation{};
    automation.scripted = always;
    if (!fromEnvironment)
        return true;
    if (const char *clock = std::getenv("ORBEX_CLOCK")) {
        std::string value = clock;
        long step = 0;
        if (value.rfind("step:", 0) != 0 || !parseNumber(value.substr(5), &step) || step <= 0 || step > 0x7FFFFFFF) {
            std::fprintf(stderr, "orbex: ORBEX_CLOCK must be step:MS with MS above 0, not \"%s\"\n", clock);
            return false;
        }
        useVirtualClock(VIRTUAL_CLOCK_START, static_cast<DWORD>(step));
    }
    if (const char *path = std::getenv("ORBEX_SCRIPT")) {
        UniqueFile file(std::fopen(userPath(path).c_str(), "rb"));
        if (file == nullptr) {
            std::fprintf(stderr, "orbex: cannot read script %s\n", path);
            return false;
        }
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
            text.append(buffer, n);
        if (std::ferror(file.get()) != 0) {
            std::fprintf(stderr, "orbex: cannot read script %s\n", path);
            return false;
        }
        std::string error;
        if (!automation.script.load(text, error)) {
            std::fprintf(stderr, "orbex: %s: %s\n", path, error.c_str());
            return false;
        }
        automation.scripted = true;
    }
    return true;
}

bool inputScripted() { return automation.scripted; }

void playScript(bool windowOpen) { automation.script.pump(windowOpen, shoot); }

POINT scriptCursor() { return automation.script.cursor(); }

bool loadScript(const std::string &text, std::string &error) { return automation.script.load(text, error); }

void resetAutomation() { automation = Automation{}; }

} // namespace orbex
