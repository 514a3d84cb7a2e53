// The sound library of the headless backend: answers as a working library
// would, records every call, and fails on request.
#include <deque>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/internal.h"

namespace orbex::headless {

namespace {

constexpr int FULL_VOLUME = 100;

std::map<SoundOp, std::deque<int>> failures;
std::vector<std::string> calls;
bool initialised = false;
bool started = false;
int volume = -1;
int lastError = BASS_OK;
HMUSIC nextHandle = 1;
std::vector<HMUSIC> loaded;
HMUSIC playing = 0;

bool injected(SoundOp op) {
    auto it = failures.find(op);
    if (it == failures.end() || it->second.empty())
        return false;
    lastError = it->second.front();
    it->second.pop_front();
    return true;
}

bool isLoaded(HMUSIC handle) {
    for (HMUSIC h : loaded)
        if (h == handle)
            return true;
    return false;
}

class HeadlessSound final : public SoundLibrary {
  public:
    BOOL init(int device, DWORD freq, DWORD, HWND) override {
        calls.push_back("BASS_Init " + std::to_string(device) + " " + std::to_string(freq));
        if (injected(SoundOp::Init))
            return FALSE;
        initialised = true;
        if (volume < 0)
            volume = FULL_VOLUME;
        lastError = BASS_OK;
        return TRUE;
    }
    BOOL start() override {
        calls.emplace_back("BASS_Start");
        if (injected(SoundOp::Start))
            return FALSE;
        if (!initialised)
            return lastError = BASS_ERROR_INIT, FALSE;
        started = true;
        return lastError = BASS_OK, TRUE;
    }
    HMUSIC musicLoad(BOOL, const void *file, DWORD, DWORD, DWORD flags) override {
        const char *name = static_cast<const char *>(file);
        calls.push_back(std::string("BASS_MusicLoad ") + (name != nullptr ? name : "") + " " +
                        std::to_string(flags));
        if (injected(SoundOp::MusicLoad))
            return 0;
        if (!initialised)
            return lastError = BASS_ERROR_INIT, 0;
        struct stat st {};
        if (name == nullptr || stat(name, &st) != 0 || !S_ISREG(st.st_mode))
            return lastError = BASS_ERROR_FILEOPEN, 0;
        loaded.push_back(nextHandle);
        lastError = BASS_OK;
        return nextHandle++;
    }
    BOOL musicPlay(HMUSIC handle) override {
        calls.push_back("BASS_MusicPlay " + std::to_string(handle));
        if (injected(SoundOp::MusicPlay))
            return FALSE;
        if (!isLoaded(handle))
            return lastError = BASS_ERROR_HANDLE, FALSE;
        if (!started)
            return lastError = BASS_ERROR_START, FALSE;
        playing = handle;
        return lastError = BASS_OK, TRUE;
    }
    int errorGetCode() override { return lastError; }
    int getVolume() override {
        auto it = failures.find(SoundOp::GetVolume);
        if (it != failures.end() && !it->second.empty()) {
            int answer = it->second.front();
            it->second.pop_front();
            return answer;
        }
        if (!initialised)
            return lastError = BASS_ERROR_INIT, -1;
        return volume;
    }
    BOOL setVolume(int v) override {
        calls.push_back("BASS_SetVolume " + std::to_string(v));
        if (injected(SoundOp::SetVolume))
            return FALSE;
        if (!initialised)
            return lastError = BASS_ERROR_INIT, FALSE;
        if (v < 0 || v > FULL_VOLUME)
            return lastError = BASS_ERROR_UNKNOWN, FALSE;
        volume = v;
        return lastError = BASS_OK, TRUE;
    }
    BOOL stop() override {
        calls.emplace_back("BASS_Stop");
        if (injected(SoundOp::Stop))
            return FALSE;
        if (!initialised)
            return lastError = BASS_ERROR_INIT, FALSE;
        started = false;
        return lastError = BASS_OK, TRUE;
    }
    BOOL musicFree(HMUSIC handle) override {
        calls.push_back("BASS_MusicFree " + std::to_string(handle));
        if (injected(SoundOp::MusicFree))
            return FALSE;
        if (!isLoaded(handle))
            return lastError = BASS_ERROR_HANDLE, FALSE;
        std::erase(loaded, handle);
        if (playing == handle)
            playing = 0;
        return lastError = BASS_OK, TRUE;
    }
};

HeadlessSound library;

} // namespace

SoundLibrary *headlessSoundLibrary() { return &library; }

void advanceSound(DWORD) {}

void resetSoundState() {
    failures.clear();
    calls.clear();
    initialised = false;
    started = false;
    volume = -1;
    lastError = BASS_OK;
    nextHandle = 1;
    loaded.clear();
    playing = 0;
}

void failSound(SoundOp op, int errorCode, int times) {
    for (int i = 0; i < times; ++i)
        failures[op].push_back(errorCode);
}

const std::vector<std::string> &soundCalls() { return calls; }

void setSoundVolume(int v) { volume = v; }

} // namespace orbex::headless
