#include "platform/bass.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <new>

#include "common/files.h"
#include "platform/internal.h"
#include "platform/testing.h"

namespace orbex {

namespace {

// Reads length bytes (0: all) from offset of a regular file. A folder, a
// device or a pipe is refused before any read, and so is a file too big to
// hold, so a load never blocks and never swallows the memory. A stream, so
// that a module inside a zip magazine loads as one in a folder.
int readModuleFile(const char *name, DWORD offset, DWORD length, std::vector<std::uint8_t> *out) {
    UniqueFile file = openRegularFile(name);
    if (file == nullptr)
        return BASS_ERROR_FILEOPEN;
    std::uint64_t size = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0)
        if (long end = std::ftell(file.get()); end > 0)
            size = static_cast<std::uint64_t>(end);
    std::uint64_t n = size > offset ? size - offset : 0;
    if (length != 0 && length < n)
        n = length;
    if (n == 0)
        return BASS_ERROR_FILEFORM;
    if (n > MAX_MODULE_BYTES)
        return BASS_ERROR_MEM;
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0)
        return BASS_ERROR_FILEFORM;
    out->resize(static_cast<std::size_t>(n));
    // A file that shrank while being read is taken as far as it went.
    out->resize(std::fread(out->data(), 1, out->size(), file.get()));
    return out->empty() ? BASS_ERROR_FILEFORM : BASS_OK;
}

// What tests ask of the library: failures to inject, and the calls seen.
struct Injection {
    std::map<SoundOp, std::deque<int>> failures;
    std::vector<std::string> calls;
    // The code of the last injected failure, until a call reaches the library.
    bool injected = false;
    int error = BASS_OK;
};

// The library the viewer's BASS_* calls reach, over the installed backend's engine.
struct SoundLayer {
    SoundLibrary library{nullptr};
    Injection injection;
};

SoundLayer soundLayer;

// True when this call of op is to fail; a call that goes through forgets the
// injected code, so BASS_ErrorGetCode reports the library's own again.
bool injected(SoundOp op) {
    auto it = soundLayer.injection.failures.find(op);
    if (it == soundLayer.injection.failures.end() || it->second.empty()) {
        soundLayer.injection.injected = false;
        return false;
    }
    soundLayer.injection.injected = true;
    soundLayer.injection.error = it->second.front();
    it->second.pop_front();
    return true;
}

void record(std::string call) { soundLayer.injection.calls.push_back(std::move(call)); }

} // namespace

BOOL SoundLibrary::fail(int code) {
    lastError = code;
    return FALSE;
}

BOOL SoundLibrary::init(int device, DWORD freq, DWORD, HWND) {
    if (device != -1)
        return fail(BASS_ERROR_DEVICE);
    if (freq < MIN_RATE || freq > MAX_RATE)
        return fail(BASS_ERROR_FORMAT);
    // A second initialisation reopens the output at the new rate; the loaded
    // modules stay, since they play at whatever rate they are asked for.
    started = false;
    engine->setRunning(false);
    if (outputOpen)
        engine->close();
    outputOpen = engine->open(freq);
    if (!outputOpen) {
        initialised = false;
        return fail(BASS_ERROR_DRIVER);
    }
    initialised = true;
    rate = freq;
    if (volume < 0)
        volume = FULL_VOLUME;
    engine->setVolume(volume);
    lastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::start() {
    if (!initialised)
        return fail(BASS_ERROR_INIT);
    // An output that went away is opened afresh.
    if (!outputOpen || engine->lost()) {
        if (outputOpen)
            engine->close();
        outputOpen = engine->open(rate);
        if (!outputOpen)
            return fail(BASS_ERROR_DRIVER);
    }
    started = true;
    engine->setRunning(true);
    lastError = BASS_OK;
    return TRUE;
}

HMUSIC SoundLibrary::musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    if (!initialised)
        return fail(BASS_ERROR_INIT), 0;
    std::vector<std::uint8_t> bytes;
    if (mem != FALSE) {
        if (file == nullptr || length == 0)
            return fail(BASS_ERROR_ILLPARAM), 0;
        const auto *from = static_cast<const std::uint8_t *>(file) + offset;
        bytes.assign(from, from + length);
    } else if (int code = readModuleFile(static_cast<const char *>(file), offset, length, &bytes); code != BASS_OK) {
        return fail(code), 0;
    }
    if (handles.size() >= MAX_MODULES)
        return fail(BASS_ERROR_MEM), 0;
    if (nextHandle == 0)
        nextHandle = 1;
    HMUSIC handle = nextHandle;
    if (!engine->load(handle, std::move(bytes), (flags & BASS_MUSIC_LOOP) != 0))
        return fail(BASS_ERROR_FILEFORM), 0;
    ++nextHandle;
    handles.insert(handle);
    lastError = BASS_OK;
    return handle;
}

BOOL SoundLibrary::musicPlay(HMUSIC handle) {
    if (handles.count(handle) == 0)
        return fail(BASS_ERROR_HANDLE);
    if (!started)
        return fail(BASS_ERROR_START);
    if (outputOpen && engine->lost())
        return fail(BASS_ERROR_BUFLOST);
    engine->play(handle);
    lastError = BASS_OK;
    return TRUE;
}

int SoundLibrary::getVolume() {
    if (!initialised)
        return fail(BASS_ERROR_INIT), -1;
    lastError = BASS_OK;
    return volume;
}

BOOL SoundLibrary::setVolume(int newVolume) {
    if (!initialised)
        return fail(BASS_ERROR_INIT);
    if (newVolume < 0 || newVolume > FULL_VOLUME)
        return fail(BASS_ERROR_ILLPARAM);
    volume = newVolume;
    engine->setVolume(volume);
    lastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::stop() {
    if (!initialised)
        return fail(BASS_ERROR_INIT);
    // The output stays open and plays silence; BASS_Start resumes every
    // module where it was.
    started = false;
    engine->setRunning(false);
    lastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::musicFree(HMUSIC handle) {
    if (handles.erase(handle) == 0)
        return fail(BASS_ERROR_HANDLE);
    engine->free(handle);
    lastError = BASS_OK;
    return TRUE;
}

void SoundLibrary::reset() {
    engine->reset();
    *this = SoundLibrary(engine);
}

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win) {
    record("BASS_Init " + std::to_string(device) + " " + std::to_string(freq));
    return injected(SoundOp::Init) ? FALSE : soundLayer.library.init(device, freq, flags, win);
}

BOOL BASS_Start() {
    record("BASS_Start");
    return injected(SoundOp::Start) ? FALSE : soundLayer.library.start();
}

HMUSIC BASS_MusicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    const char *name = mem == FALSE ? static_cast<const char *>(file) : "(memory)";
    record(std::string("BASS_MusicLoad ") + (name != nullptr ? name : "") + " " + std::to_string(flags));
    return injected(SoundOp::MusicLoad) ? 0 : soundLayer.library.musicLoad(mem, file, offset, length, flags);
}

BOOL BASS_MusicPlay(HMUSIC handle) {
    record("BASS_MusicPlay " + std::to_string(handle));
    return injected(SoundOp::MusicPlay) ? FALSE : soundLayer.library.musicPlay(handle);
}

int BASS_ErrorGetCode() {
    return soundLayer.injection.injected ? soundLayer.injection.error : soundLayer.library.errorGetCode();
}

int BASS_GetVolume() {
    // An injected answer is the volume itself, say a negative one.
    auto it = soundLayer.injection.failures.find(SoundOp::GetVolume);
    if (it != soundLayer.injection.failures.end() && !it->second.empty()) {
        int answer = it->second.front();
        it->second.pop_front();
        return answer;
    }
    soundLayer.injection.injected = false;
    return soundLayer.library.getVolume();
}

BOOL BASS_SetVolume(int volume) {
    record("BASS_SetVolume " + std::to_string(volume));
    return injected(SoundOp::SetVolume) ? FALSE : soundLayer.library.setVolume(volume);
}

BOOL BASS_Stop() {
    record("BASS_Stop");
    return injected(SoundOp::Stop) ? FALSE : soundLayer.library.stop();
}

BOOL BASS_MusicFree(HMUSIC handle) {
    record("BASS_MusicFree " + std::to_string(handle));
    return injected(SoundOp::MusicFree) ? FALSE : soundLayer.library.musicFree(handle);
}

void useMusicEngine(MusicEngine *engine) { soundLayer.library = SoundLibrary(engine); }

void failSound(SoundOp op, int errorCode, int times) {
    for (int i = 0; i < times; ++i)
        soundLayer.injection.failures[op].push_back(errorCode);
}

const std::vector<std::string> &soundCalls() { return soundLayer.injection.calls; }

void setSoundVolume(int volume) {
    SoundLibrary &library = soundLayer.library;
    library.volume = volume;
    if (library.engine != nullptr)
        library.engine->setVolume(std::clamp(volume, 0, FULL_VOLUME));
}

void resetSoundLayer() {
    // The installed backend's engine stays, and starts afresh with the library.
    MusicEngine *engine = musicEngine();
    if (engine != nullptr)
        engine->reset();
    soundLayer = SoundLayer{};
    soundLayer.library = SoundLibrary(engine);
}

void advanceSound(DWORD ms) {
    if (MusicEngine *engine = musicEngine())
        engine->advance(ms);
}

} // namespace orbex
