// The sound library of the headless backend: the real library with no audio
// device, its music moved on by the virtual clock. Tests see every call and
// can make any operation fail with a chosen code.
#include <cstdlib>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/headless/internal.h"
#include "platform/sound/sound.h"

namespace orbex::headless {

namespace {

std::map<SoundOp, std::deque<int>> failures;
std::vector<std::string> calls;
// The code of the last injected failure, until a call reaches the library.
bool bInjected = false;
int nInjectedError = BASS_OK;
sound::ModuleSoundLibrary player(nullptr);

// True when this call of op is to fail; a call that goes through forgets the
// injected code, so BASS_ErrorGetCode reports the library's own again.
bool injected(SoundOp op) {
    auto it = failures.find(op);
    if (it == failures.end() || it->second.empty()) {
        bInjected = false;
        return false;
    }
    bInjected = true;
    nInjectedError = it->second.front();
    it->second.pop_front();
    return true;
}

class HeadlessSound final : public SoundLibrary {
  public:
    BOOL init(int device, DWORD freq, DWORD flags, HWND win) override {
        calls.push_back("BASS_Init " + std::to_string(device) + " " + std::to_string(freq));
        return injected(SoundOp::Init) ? FALSE : player.init(device, freq, flags, win);
    }
    BOOL start() override {
        calls.emplace_back("BASS_Start");
        return injected(SoundOp::Start) ? FALSE : player.start();
    }
    HMUSIC musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) override {
        const char *name = mem == FALSE ? static_cast<const char *>(file) : "(memory)";
        calls.push_back(std::string("BASS_MusicLoad ") + (name != nullptr ? name : "") + " " + std::to_string(flags));
        return injected(SoundOp::MusicLoad) ? 0 : player.musicLoad(mem, file, offset, length, flags);
    }
    BOOL musicPlay(HMUSIC handle) override {
        calls.push_back("BASS_MusicPlay " + std::to_string(handle));
        return injected(SoundOp::MusicPlay) ? FALSE : player.musicPlay(handle);
    }
    int errorGetCode() override { return bInjected ? nInjectedError : player.errorGetCode(); }
    int getVolume() override {
        // An injected answer is the volume itself, say a negative one.
        auto it = failures.find(SoundOp::GetVolume);
        if (it != failures.end() && !it->second.empty()) {
            int answer = it->second.front();
            it->second.pop_front();
            return answer;
        }
        bInjected = false;
        return player.getVolume();
    }
    BOOL setVolume(int volume) override {
        calls.push_back("BASS_SetVolume " + std::to_string(volume));
        return injected(SoundOp::SetVolume) ? FALSE : player.setVolume(volume);
    }
    BOOL stop() override {
        calls.emplace_back("BASS_Stop");
        return injected(SoundOp::Stop) ? FALSE : player.stop();
    }
    BOOL musicFree(HMUSIC handle) override {
        calls.push_back("BASS_MusicFree " + std::to_string(handle));
        return injected(SoundOp::MusicFree) ? FALSE : player.musicFree(handle);
    }
};

HeadlessSound library;

} // namespace

SoundLibrary *headlessSoundLibrary() {
    player.setCapturePath(std::getenv("ORBEX_AUDIO_CAPTURE"));
    return &library;
}

void advanceSound(DWORD ms) { player.advance(ms); }

void resetSoundState() {
    failures.clear();
    calls.clear();
    bInjected = false;
    nInjectedError = BASS_OK;
    player.reset();
}

void failSound(SoundOp op, int errorCode, int times) {
    for (int i = 0; i < times; ++i)
        failures[op].push_back(errorCode);
}

const std::vector<std::string> &soundCalls() { return calls; }

void setSoundVolume(int volume) { player.forceVolume(volume); }

} // namespace orbex::headless
