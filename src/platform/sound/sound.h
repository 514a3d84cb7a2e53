// The music engine of the desktop backends: tracker modules decoded with
// libopenmpt, mixed at the output rate and scaled by the output volume,
// pulled by an audio device or, without one, moved on by the clock; what is
// played can be captured to a WAV file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/backend.h"
#include "platform/sound/capture.h"

struct openmpt_module;

namespace orbex::sound {

// An audio device. The engine calls these on the viewer's thread, never while
// it holds its lock; the device pulls the mix with ModulePlayer::render on a
// thread of its own.
class Output {
  public:
    virtual ~Output() = default;
    // Opens the device for 16-bit stereo at rate frames per second and starts
    // pulling; false when no device can be opened.
    virtual bool open(DWORD rate) = 0;
    // Stops pulling and closes; nothing is pulled once it returns.
    virtual void close() = 0;
    // True when an opened device has gone away (unplugged, sound server gone).
    virtual bool lost() = 0;
};

class ModulePlayer final : public MusicEngine {
  public:
    // Without an output (nullptr) the music moves on only through advance.
    explicit ModulePlayer(Output *output);
    ~ModulePlayer() override;
    ModulePlayer(const ModulePlayer &) = delete;
    ModulePlayer &operator=(const ModulePlayer &) = delete;

    bool open(DWORD rate) override;
    void close() override;
    bool lost() override;
    bool load(HMUSIC handle, std::vector<std::uint8_t> bytes, bool loop) override;
    void play(HMUSIC handle) override;
    void free(HMUSIC handle) override;
    void setRunning(bool running) override;
    void setVolume(int volume) override;
    void reset() override;

    // Without an output device: ms milliseconds of music are played. The
    // frame count follows the total time exactly, so steps of any size add
    // up to the same sound.
    void advance(DWORD ms) override;

    // Called by the output device on its thread: the next frames of the mix
    // as interleaved left, right samples; silence while stopped.
    void render(std::int16_t *stereo, std::size_t frames);
    // The WAV file (ORBEX_AUDIO_CAPTURE) opened at the first open; nullptr or
    // "" for none. Takes effect at the next open.
    void setCapturePath(const char *path);

  private:
    struct Module {
        openmpt_module *module = nullptr;
        bool playing = false;
    };
    static constexpr std::size_t BLOCK_FRAMES = 256;

    void renderBlockLocked();
    void mixLocked(std::int16_t *stereo, std::size_t frames);

    Output *output;
    bool deviceOpen = false;
    std::string captureName;
    bool captureTried = false;
    // Shared with the device's thread.
    std::mutex mutex;
    bool running = false;
    DWORD rate = 0;
    int volume = FULL_VOLUME;
    std::map<HMUSIC, Module> modules;
    WavCapture capture;
    std::uint64_t advancedMs = 0;
    std::uint64_t advancedFrames = 0;
    // The block being played, and how many of its frames are played already.
    std::array<float, 2 * BLOCK_FRAMES> mix{};
    std::size_t blockUsed = BLOCK_FRAMES;
    std::array<float, 2 * BLOCK_FRAMES> moduleBlock{};
    std::array<std::int16_t, 2 * 1024> out{};
};

} // namespace orbex::sound
