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

ModulePlayer::ModulePlayer(Output *device) : output(device) {}

ModulePlayer::~ModulePlayer() { reset(); }

bool ModulePlayer::open(DWORD outputRate) {
    close();
    if (output != nullptr) {
        deviceOpen = output->open(outputRate);
        if (!deviceOpen)
            return false;
    }
    std::lock_guard lock(mutex);
    rate = outputRate;
    advancedMs = 0;
    advancedFrames = 0;
    blockUsed = BLOCK_FRAMES;
    if (capture.isOpen() && capture.rate() != rate) {
        // One file holds one rate; the viewer never changes it within a run.
        std::fprintf(stderr, "orbex: output rate changed, audio capture stopped\n");
        capture.close();
    }
    if (!captureTried && !captureName.empty()) {
        captureTried = true;
        capture.open(captureName.c_str(), rate);
    }
    return true;
}

void ModulePlayer::close() {
    if (output != nullptr && deviceOpen)
        output->close();
    deviceOpen = false;
}

bool ModulePlayer::lost() { return output != nullptr && deviceOpen && output->lost(); }

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
        it->second.playing = true;
}

void ModulePlayer::free(HMUSIC handle) {
    std::lock_guard lock(mutex);
    if (auto it = modules.find(handle); it != modules.end()) {
        openmpt_module_destroy(it->second.module);
        modules.erase(it);
    }
}

void ModulePlayer::setRunning(bool on) {
    std::lock_guard lock(mutex);
    running = on;
}

void ModulePlayer::setVolume(int newVolume) {
    std::lock_guard lock(mutex);
    volume = newVolume;
}

void ModulePlayer::reset() {
    close();
    std::lock_guard lock(mutex);
    for (auto &[handle, module] : modules)
        openmpt_module_destroy(module.module);
    modules.clear();
    running = false;
    rate = 0;
    volume = FULL_VOLUME;
    captureName.clear();
    captureTried = false;
    capture.close();
    advancedMs = 0;
    advancedFrames = 0;
    blockUsed = BLOCK_FRAMES;
}

// The modules are always read in whole blocks, whatever the device or the
// clock asks for: the sound then does not depend on how it is pulled.
void ModulePlayer::renderBlockLocked() {
    mix.fill(0.0f);
    for (auto &[handle, module] : modules) {
        if (!module.playing)
            continue;
        std::size_t got = openmpt_module_read_interleaved_float_stereo(module.module, static_cast<std::int32_t>(rate),
                                                                       BLOCK_FRAMES, moduleBlock.data());
        // A module that is not looping stops at its end.
        if (got < BLOCK_FRAMES)
            module.playing = false;
        for (std::size_t i = 0; i < 2 * got; ++i)
            mix[i] += moduleBlock[i];
    }
    blockUsed = 0;
}

void ModulePlayer::mixLocked(std::int16_t *stereo, std::size_t frames) {
    if (!running) {
        std::memset(stereo, 0, frames * 2 * sizeof(std::int16_t));
        return;
    }
    // The volume applies from the next frame on.
    int level = volume < 0 ? 0 : volume > FULL_VOLUME ? FULL_VOLUME : volume;
    float gain = static_cast<float>(level) / static_cast<float>(FULL_VOLUME);
    std::int16_t *first = stereo;
    std::size_t total = frames;
    while (frames > 0) {
        if (blockUsed == BLOCK_FRAMES)
            renderBlockLocked();
        std::size_t n = std::min(frames, BLOCK_FRAMES - blockUsed);
        const float *from = mix.data() + 2 * blockUsed;
        for (std::size_t i = 0; i < 2 * n; ++i)
            stereo[i] = toSample(from[i] * gain);
        blockUsed += n;
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
    if (output != nullptr || rate == 0)
        return;
    advancedMs += ms;
    std::uint64_t target = advancedMs * rate / 1000;
    std::uint64_t frames = target - advancedFrames;
    advancedFrames = target;
    // Time passes while stopped too, but nothing is played then.
    if (!running)
        return;
    while (frames > 0) {
        std::size_t n = frames < out.size() / 2 ? static_cast<std::size_t>(frames) : out.size() / 2;
        mixLocked(out.data(), n);
        frames -= n;
    }
}

void ModulePlayer::setCapturePath(const char *path) {
    std::lock_guard lock(mutex);
    std::string name = path != nullptr ? path : "";
    if (name == captureName)
        return;
    captureName = name;
    captureTried = false;
}

} // namespace orbex::sound
