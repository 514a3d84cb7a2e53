#include "platform/sound/sound.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orbex::sound {

namespace {

std::int16_t toSample(float v) {
    if (!(v > -1.0f))
        return -32767;
    if (v >= 1.0f)
        return 32767;
    return static_cast<std::int16_t>(std::lrintf(v * 32767.0f));
}

} // namespace

ModulePlayer::ModulePlayer(Output *output) : pOutput(output) {}

ModulePlayer::~ModulePlayer() { reset(); }

bool ModulePlayer::open(DWORD rate) {
    close();
    if (pOutput != nullptr) {
        bDeviceOpen = pOutput->open(rate);
        if (!bDeviceOpen)
            return false;
    }
    std::lock_guard lock(mutex);
    dwRate = rate;
    qwAdvancedMs = 0;
    qwAdvancedFrames = 0;
    nBlockUsed = BLOCK_FRAMES;
    if (capture.isOpen() && capture.rate() != rate) {
        // One file holds one rate; the viewer never changes it within a run.
        std::fprintf(stderr, "orbex: output rate changed, audio capture stopped\n");
        capture.close();
    }
    if (!bCaptureTried && !captureName.empty()) {
        bCaptureTried = true;
        capture.open(captureName.c_str(), rate);
    }
    return true;
}

void ModulePlayer::close() {
    if (pOutput != nullptr && bDeviceOpen)
        pOutput->close();
    bDeviceOpen = false;
}

bool ModulePlayer::lost() { return pOutput != nullptr && bDeviceOpen && pOutput->lost(); }

bool ModulePlayer::load(HMUSIC handle, std::vector<std::uint8_t> bytes, bool loop) {
    // Parsing happens outside the lock, so the device keeps playing.
    int error = 0;
    openmpt_module *module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
    if (module == nullptr)
        return false;
    openmpt_module_set_repeat_count(module, loop ? -1 : 0);
    std::lock_guard lock(mutex);
    modules[handle] = Module{module, false};
    return true;
}

void ModulePlayer::play(HMUSIC handle) {
    std::lock_guard lock(mutex);
    if (auto it = modules.find(handle); it != modules.end())
        it->second.bPlaying = true;
}

void ModulePlayer::free(HMUSIC handle) {
    std::lock_guard lock(mutex);
    if (auto it = modules.find(handle); it != modules.end()) {
        openmpt_module_destroy(it->second.pModule);
        modules.erase(it);
    }
}

void ModulePlayer::setRunning(bool running) {
    std::lock_guard lock(mutex);
    bRunning = running;
}

void ModulePlayer::setVolume(int volume) {
    std::lock_guard lock(mutex);
    nVolume = volume;
}

void ModulePlayer::reset() {
    close();
    std::lock_guard lock(mutex);
    for (auto &[handle, module] : modules)
        openmpt_module_destroy(module.pModule);
    modules.clear();
    bRunning = false;
    dwRate = 0;
    nVolume = FULL_VOLUME;
    captureName.clear();
    bCaptureTried = false;
    capture.close();
    qwAdvancedMs = 0;
    qwAdvancedFrames = 0;
    nBlockUsed = BLOCK_FRAMES;
}

// The modules are always read in whole blocks, whatever the device or the
// clock asks for: the sound then does not depend on how it is pulled.
void ModulePlayer::renderBlockLocked() {
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

void ModulePlayer::mixLocked(std::int16_t *stereo, std::size_t frames) {
    if (!bRunning) {
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

void ModulePlayer::render(std::int16_t *stereo, std::size_t frames) {
    std::lock_guard lock(mutex);
    mixLocked(stereo, frames);
}

void ModulePlayer::advance(DWORD ms) {
    std::lock_guard lock(mutex);
    if (pOutput != nullptr || dwRate == 0)
        return;
    qwAdvancedMs += ms;
    std::uint64_t target = qwAdvancedMs * dwRate / 1000;
    std::uint64_t frames = target - qwAdvancedFrames;
    qwAdvancedFrames = target;
    // Time passes while stopped too, but nothing is played then.
    if (!bRunning)
        return;
    while (frames > 0) {
        std::size_t n = frames < asOut.size() / 2 ? static_cast<std::size_t>(frames) : asOut.size() / 2;
        mixLocked(asOut.data(), n);
        frames -= n;
    }
}

void ModulePlayer::setCapturePath(const char *path) {
    std::lock_guard lock(mutex);
    std::string name = path != nullptr ? path : "";
    if (name == captureName)
        return;
    captureName = name;
    bCaptureTried = false;
}

} // namespace orbex::sound
