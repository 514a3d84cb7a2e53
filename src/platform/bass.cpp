#include "platform/bass.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <new>

#include "common/files.h"

namespace orbex {

namespace {

// Reads length bytes (0: all) from offset of a regular file. A folder, a
// device or a pipe is refused before any read, and so is a file too big to
// hold, so a load never blocks and never swallows the memory.
int readModuleFile(const char *name, DWORD offset, DWORD length, std::vector<std::uint8_t> *out) {
    int fd = openRegularDescriptor(name, O_RDONLY);
    if (fd < 0)
        return BASS_ERROR_FILEOPEN;
    struct stat st {};
    std::uint64_t size = ::fstat(fd, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    int result = BASS_OK;
    std::uint64_t n = size > offset ? size - offset : 0;
    if (length != 0 && length < n)
        n = length;
    if (n == 0)
        result = BASS_ERROR_FILEFORM;
    else if (n > MAX_MODULE_BYTES)
        result = BASS_ERROR_MEM;
    if (result == BASS_OK) {
        out->resize(static_cast<std::size_t>(n));
        std::size_t got = 0;
        while (got < n) {
            ssize_t r = ::pread(fd, out->data() + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += static_cast<std::size_t>(r);
        }
        // A file that shrank while being read is taken as far as it went.
        out->resize(got);
        if (got == 0)
            result = BASS_ERROR_FILEFORM;
    }
    ::close(fd);
    return result;
}

SoundLibrary *pSoundLibrary = nullptr;

struct Injection {
    std::map<SoundOp, std::deque<int>> failures;
    std::vector<std::string> calls;
    // The code of the last injected failure, until a call reaches the library.
    bool bInjected = false;
    int nError = BASS_OK;
};

Injection injection;

// True when this call of op is to fail; a call that goes through forgets the
// injected code, so BASS_ErrorGetCode reports the library's own again.
bool injected(SoundOp op) {
    auto it = injection.failures.find(op);
    if (it == injection.failures.end() || it->second.empty()) {
        injection.bInjected = false;
        return false;
    }
    injection.bInjected = true;
    injection.nError = it->second.front();
    it->second.pop_front();
    return true;
}

void record(std::string call) { injection.calls.push_back(std::move(call)); }

} // namespace

BOOL SoundLibrary::fail(int code) {
    nLastError = code;
    return FALSE;
}

BOOL SoundLibrary::init(int device, DWORD freq, DWORD, HWND) {
    if (device != -1)
        return fail(BASS_ERROR_DEVICE);
    if (freq < MIN_RATE || freq > MAX_RATE)
        return fail(BASS_ERROR_FORMAT);
    // A second initialisation reopens the output at the new rate; the loaded
    // modules stay, since they play at whatever rate they are asked for.
    bStarted = false;
    pEngine->setRunning(false);
    if (bOutputOpen)
        pEngine->close();
    bOutputOpen = pEngine->open(freq);
    if (!bOutputOpen) {
        bInitialised = false;
        return fail(BASS_ERROR_DRIVER);
    }
    bInitialised = true;
    dwRate = freq;
    if (nVolume < 0)
        nVolume = FULL_VOLUME;
    pEngine->setVolume(nVolume);
    nLastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::start() {
    if (!bInitialised)
        return fail(BASS_ERROR_INIT);
    // An output that went away is opened afresh.
    if (!bOutputOpen || pEngine->lost()) {
        if (bOutputOpen)
            pEngine->close();
        bOutputOpen = pEngine->open(dwRate);
        if (!bOutputOpen)
            return fail(BASS_ERROR_DRIVER);
    }
    bStarted = true;
    pEngine->setRunning(true);
    nLastError = BASS_OK;
    return TRUE;
}

HMUSIC SoundLibrary::musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    if (!bInitialised)
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
    if (hNext == 0)
        hNext = 1;
    HMUSIC handle = hNext;
    if (!pEngine->load(handle, std::move(bytes), (flags & BASS_MUSIC_LOOP) != 0))
        return fail(BASS_ERROR_FILEFORM), 0;
    ++hNext;
    handles.insert(handle);
    nLastError = BASS_OK;
    return handle;
}

BOOL SoundLibrary::musicPlay(HMUSIC handle) {
    if (handles.count(handle) == 0)
        return fail(BASS_ERROR_HANDLE);
    if (!bStarted)
        return fail(BASS_ERROR_START);
    if (bOutputOpen && pEngine->lost())
        return fail(BASS_ERROR_BUFLOST);
    pEngine->play(handle);
    nLastError = BASS_OK;
    return TRUE;
}

int SoundLibrary::getVolume() {
    if (!bInitialised)
        return fail(BASS_ERROR_INIT), -1;
    nLastError = BASS_OK;
    return nVolume;
}

BOOL SoundLibrary::setVolume(int volume) {
    if (!bInitialised)
        return fail(BASS_ERROR_INIT);
    if (volume < 0 || volume > FULL_VOLUME)
        return fail(BASS_ERROR_ILLPARAM);
    nVolume = volume;
    pEngine->setVolume(volume);
    nLastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::stop() {
    if (!bInitialised)
        return fail(BASS_ERROR_INIT);
    // The output stays open and plays silence; BASS_Start resumes every
    // module where it was.
    bStarted = false;
    pEngine->setRunning(false);
    nLastError = BASS_OK;
    return TRUE;
}

BOOL SoundLibrary::musicFree(HMUSIC handle) {
    if (handles.erase(handle) == 0)
        return fail(BASS_ERROR_HANDLE);
    pEngine->free(handle);
    nLastError = BASS_OK;
    return TRUE;
}

void SoundLibrary::forceVolume(int volume) {
    nVolume = volume;
    pEngine->setVolume(volume < 0 ? 0 : volume > FULL_VOLUME ? FULL_VOLUME : volume);
}

void SoundLibrary::reset() {
    pEngine->reset();
    bInitialised = false;
    bStarted = false;
    bOutputOpen = false;
    dwRate = 0;
    nVolume = -1;
    nLastError = BASS_OK;
    hNext = 1;
    handles.clear();
}

void setSoundLibrary(SoundLibrary *library) { pSoundLibrary = library; }

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win) {
    record("BASS_Init " + std::to_string(device) + " " + std::to_string(freq));
    return injected(SoundOp::Init) ? FALSE : pSoundLibrary->init(device, freq, flags, win);
}

BOOL BASS_Start() {
    record("BASS_Start");
    return injected(SoundOp::Start) ? FALSE : pSoundLibrary->start();
}

HMUSIC BASS_MusicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    const char *name = mem == FALSE ? static_cast<const char *>(file) : "(memory)";
    record(std::string("BASS_MusicLoad ") + (name != nullptr ? name : "") + " " + std::to_string(flags));
    return injected(SoundOp::MusicLoad) ? 0 : pSoundLibrary->musicLoad(mem, file, offset, length, flags);
}

BOOL BASS_MusicPlay(HMUSIC handle) {
    record("BASS_MusicPlay " + std::to_string(handle));
    return injected(SoundOp::MusicPlay) ? FALSE : pSoundLibrary->musicPlay(handle);
}

int BASS_ErrorGetCode() { return injection.bInjected ? injection.nError : pSoundLibrary->errorGetCode(); }

int BASS_GetVolume() {
    // An injected answer is the volume itself, say a negative one.
    auto it = injection.failures.find(SoundOp::GetVolume);
    if (it != injection.failures.end() && !it->second.empty()) {
        int answer = it->second.front();
        it->second.pop_front();
        return answer;
    }
    injection.bInjected = false;
    return pSoundLibrary->getVolume();
}

BOOL BASS_SetVolume(int volume) {
    record("BASS_SetVolume " + std::to_string(volume));
    return injected(SoundOp::SetVolume) ? FALSE : pSoundLibrary->setVolume(volume);
}

BOOL BASS_Stop() {
    record("BASS_Stop");
    return injected(SoundOp::Stop) ? FALSE : pSoundLibrary->stop();
}

BOOL BASS_MusicFree(HMUSIC handle) {
    record("BASS_MusicFree " + std::to_string(handle));
    return injected(SoundOp::MusicFree) ? FALSE : pSoundLibrary->musicFree(handle);
}

void failSound(SoundOp op, int errorCode, int times) {
    for (int i = 0; i < times; ++i)
        injection.failures[op].push_back(errorCode);
}

const std::vector<std::string> &soundCalls() { return injection.calls; }

void setSoundVolume(int volume) {
    if (pSoundLibrary != nullptr)
        pSoundLibrary->forceVolume(volume);
}

void resetSoundLayer() {
    injection = Injection{};
    if (pSoundLibrary != nullptr)
        pSoundLibrary->reset();
}

} // namespace orbex
