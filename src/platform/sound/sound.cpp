#include "platform/sound/sound.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace orbex::sound {

namespace {

struct Bytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};

// Reads length bytes (0: all) from offset of a regular file. A folder, a
// device or a pipe is refused before any read, and so is a file too big to
// hold, so a load never blocks and never swallows the memory.
int readModuleFile(const char *name, DWORD offset, DWORD length, Bytes *out) {
    if (name == nullptr)
        return BASS_ERROR_FILEOPEN;
    int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return BASS_ERROR_FILEOPEN;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return BASS_ERROR_FILEOPEN;
    }
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (offset >= size) {
        ::close(fd);
        return BASS_ERROR_FILEFORM;
    }
    std::uint64_t n = size - offset;
    if (length != 0 && length < n)
        n = length;
    if (n > MAX_MODULE_BYTES) {
        ::close(fd);
        return BASS_ERROR_MEM;
    }
    out->data.reset(new (std::nothrow) std::uint8_t[n]);
    if (!out->data) {
        ::close(fd);
        return BASS_ERROR_MEM;
    }
    out->size = 0;
    while (out->size < n) {
        ssize_t got = ::pread(fd, out->data.get() + out->size, n - out->size, static_cast<off_t>(offset + out->size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        out->size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    // A file that shrank while being read is taken as far as it went.
    return out->size > 0 ? BASS_OK : BASS_ERROR_FILEFORM;
}

std::int16_t toSample(float v) {
    if (!(v > -1.0f))
        return -32767;
    if (v >= 1.0f)
        return 32767;
    return static_cast<std::int16_t>(std::lrintf(v * 32767.0f));
}

} // namespace

ModuleSoundLibrary::ModuleSoundLibrary(Output *output) : pOutput(output) {}

ModuleSoundLibrary::~ModuleSoundLibrary() { reset(); }

BOOL ModuleSoundLibrary::fail(int code) {
    std::lock_guard lock(mutex);
    nLastError = code;
    return FALSE;
}

void ModuleSoundLibrary::closeOutput() {
    if (pOutput != nullptr && bDeviceOpen)
        pOutput->close();
    bDeviceOpen = false;
}

BOOL ModuleSoundLibrary::init(int device, DWORD freq, DWORD, HWND) {
    if (device != -1)
        return fail(BASS_ERROR_DEVICE);
    if (freq < MIN_RATE || freq > MAX_RATE)
        return fail(BASS_ERROR_FORMAT);
    // A second initialisation reopens the output at the new rate; the loaded
    // modules stay, since they render at whatever rate they are asked for.
    {
        std::lock_guard lock(mutex);
        bStarted = false;
    }
    closeOutput();
    if (pOutput != nullptr) {
        bDeviceOpen = pOutput->open(freq);
        if (!bDeviceOpen) {
            std::lock_guard lock(mutex);
            bInitialised = false;
            nLastError = BASS_ERROR_DRIVER;
            return FALSE;
        }
    }
    std::lock_guard lock(mutex);
    bInitialised = true;
    dwRate = freq;
    if (nVolume < 0)
        nVolume = FULL_VOLUME;
    qwAdvancedMs = 0;
    qwAdvancedFrames = 0;
    nBlockUsed = BLOCK_FRAMES;
    if (capture.isOpen() && capture.rate() != freq) {
        // One file holds one rate; the viewer never changes it within a run.
        std::fprintf(stderr, "orbex: output rate changed, audio capture stopped\n");
        capture.close();
    }
    if (!bCaptureTried && !captureName.empty()) {
        bCaptureTried = true;
        capture.open(captureName.c_str(), freq);
    }
    nLastError = BASS_OK;
    return TRUE;
}

BOOL ModuleSoundLibrary::start() {
    bool initialised;
    {
        std::lock_guard lock(mutex);
        initialised = bInitialised;
    }
    if (!initialised)
        return fail(BASS_ERROR_INIT);
    // A device that went away is opened afresh.
    if (pOutput != nullptr && (!bDeviceOpen || pOutput->lost())) {
        closeOutput();
        bDeviceOpen = pOutput->open(dwRate);
        if (!bDeviceOpen)
            return fail(BASS_ERROR_DRIVER);
    }
    std::lock_guard lock(mutex);
    bStarted = true;
    nLastError = BASS_OK;
    return TRUE;
}

HMUSIC ModuleSoundLibrary::musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) {
    {
        std::lock_guard lock(mutex);
        if (!bInitialised) {
            nLastError = BASS_ERROR_INIT;
            return 0;
        }
    }
    // Reading and parsing happen outside the lock, so the device keeps playing.
    Bytes bytes;
    if (mem != FALSE) {
        if (file == nullptr || length == 0) {
            fail(BASS_ERROR_ILLPARAM);
            return 0;
        }
        bytes.data.reset(new (std::nothrow) std::uint8_t[length]);
        if (!bytes.data) {
            fail(BASS_ERROR_MEM);
            return 0;
        }
        std::memcpy(bytes.data.get(), static_cast<const std::uint8_t *>(file) + offset, length);
        bytes.size = length;
    } else if (int code = readModuleFile(static_cast<const char *>(file), offset, length, &bytes); code != BASS_OK) {
        fail(code);
        return 0;
    }
    int error = 0;
    openmpt_module *module =
        openmpt_module_create_from_memory2(bytes.data.get(), bytes.size, openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
    if (module == nullptr) {
        fail(BASS_ERROR_FILEFORM);
        return 0;
    }
    openmpt_module_set_repeat_count(module, (flags & BASS_MUSIC_LOOP) != 0 ? -1 : 0);
    std::lock_guard lock(mutex);
    if (modules.size() >= MAX_MODULES) {
        openmpt_module_destroy(module);
        nLastError = BASS_ERROR_MEM;
        return 0;
    }
    if (hNext == 0)
        hNext = 1;
    HMUSIC handle = hNext++;
    modules[handle] = Module{module, false};
    nLastError = BASS_OK;
    return handle;
}

BOOL ModuleSoundLibrary::musicPlay(HMUSIC handle) {
    bool lost = pOutput != nullptr && bDeviceOpen && pOutput->lost();
    std::lock_guard lock(mutex);
    auto it = modules.find(handle);
    if (it == modules.end())
        return nLastError = BASS_ERROR_HANDLE, FALSE;
    if (!bStarted)
        return nLastError = BASS_ERROR_START, FALSE;
    if (lost)
        return nLastError = BASS_ERROR_BUFLOST, FALSE;
    // A module plays on from where it is; a fresh one from its start.
    it->second.bPlaying = true;
    nLastError = BASS_OK;
    return TRUE;
}

int ModuleSoundLibrary::errorGetCode() {
    std::lock_guard lock(mutex);
    return nLastError;
}

int ModuleSoundLibrary::getVolume() {
    std::lock_guard lock(mutex);
    if (!bInitialised)
        return nLastError = BASS_ERROR_INIT, -1;
    nLastError = BASS_OK;
    return nVolume;
}

BOOL ModuleSoundLibrary::setVolume(int volume) {
    std::lock_guard lock(mutex);
    if (!bInitialised)
        return nLastError = BASS_ERROR_INIT, FALSE;
    if (volume < 0 || volume > FULL_VOLUME)
        return nLastError = BASS_ERROR_ILLPARAM, FALSE;
    nVolume = volume;
    nLastError = BASS_OK;
    return TRUE;
}

BOOL ModuleSoundLibrary::stop() {
    std::lock_guard lock(mutex);
    if (!bInitialised)
        return nLastError = BASS_ERROR_INIT, FALSE;
    // The device stays open and plays silence; BASS_Start resumes every
    // module where it was.
    bStarted = false;
    nLastError = BASS_OK;
    return TRUE;
}

BOOL ModuleSoundLibrary::musicFree(HMUSIC handle) {
    std::lock_guard lock(mutex);
    auto it = modules.find(handle);
    if (it == modules.end())
        return nLastError = BASS_ERROR_HANDLE, FALSE;
    openmpt_module_destroy(it->second.pModule);
    modules.erase(it);
    nLastError = BASS_OK;
    return TRUE;
}

// The modules are always read in whole blocks, whatever the device or the
// clock asks for: the sound then does not depend on how it is pulled.
void ModuleSoundLibrary::renderBlockLocked() {
    afMix.fill(0.0f);
    for (auto &[handle, module] : modules) {
        if (!module.bPlaying)
            continue;
        std::size_t got = openmpt_module_read_interleaved_float_stereo(
            module.pModule, static_cast<std::int32_t>(dwRate), BLOCK_FRAMES, afModule.data());
        // A module that is not looping stops at its end.
        if (got < BLOCK_FRAMES)
            module.bPlaying = false;
        for (std::size_t i = 0; i < 2 * got; ++i)
            afMix[i] += afModule[i];
    }
    nBlockUsed = 0;
}

void ModuleSoundLibrary::mixLocked(std::int16_t *stereo, std::size_t frames) {
    if (!bStarted) {
        std::memset(stereo, 0, frames * 2 * sizeof(std::int16_t));
        return;
    }
    // The volume applies from the next frame on.
    int volume = nVolume < 0 ? 0 : nVolume > FULL_VOLUME ? FULL_VOLUME : nVolume;
    float gain = static_cast<float>(volume) / static_cast<float>(FULL_VOLUME);
    std::int16_t *first = stereo;
    std::size_t total = frames;
    while (frames > 0) {
        if (nBlockUsed == BLOCK_FRAMES)
            renderBlockLocked();
        std::size_t n = std::min(frames, BLOCK_FRAMES - nBlockUsed);
        const float *from = afMix.data() + 2 * nBlockUsed;
        for (std::size_t i = 0; i < 2 * n; ++i)
            stereo[i] = toSample(from[i] * gain);
        nBlockUsed += n;
        stereo += 2 * n;
        frames -= n;
    }
    capture.write(first, total);
}

void ModuleSoundLibrary::render(std::int16_t *stereo, std::size_t frames) {
    std::lock_guard lock(mutex);
    mixLocked(stereo, frames);
}

void ModuleSoundLibrary::advance(DWORD ms) {
    std::lock_guard lock(mutex);
    if (pOutput != nullptr || !bInitialised)
        return;
    qwAdvancedMs += ms;
    std::uint64_t target = qwAdvancedMs * dwRate / 1000;
    std::uint64_t frames = target - qwAdvancedFrames;
    qwAdvancedFrames = target;
    // Time passes while stopped too, but nothing is played then.
    if (!bStarted)
        return;
    while (frames > 0) {
        std::size_t n = frames < asOut.size() / 2 ? static_cast<std::size_t>(frames) : asOut.size() / 2;
        mixLocked(asOut.data(), n);
        frames -= n;
    }
}

void ModuleSoundLibrary::setCapturePath(const char *path) {
    std::lock_guard lock(mutex);
    std::string name = path != nullptr ? path : "";
    if (name == captureName)
        return;
    captureName = name;
    bCaptureTried = false;
}

void ModuleSoundLibrary::forceVolume(int volume) {
    std::lock_guard lock(mutex);
    nVolume = volume;
}

void ModuleSoundLibrary::reset() {
    closeOutput();
    std::lock_guard lock(mutex);
    for (auto &[handle, module] : modules)
        openmpt_module_destroy(module.pModule);
    modules.clear();
    bInitialised = false;
    bStarted = false;
    dwRate = 0;
    nVolume = -1;
    nLastError = BASS_OK;
    hNext = 1;
    captureName.clear();
    bCaptureTried = false;
    capture.close();
    qwAdvancedMs = 0;
    qwAdvancedFrames = 0;
    nBlockUsed = BLOCK_FRAMES;
}

} // namespace orbex::sound
