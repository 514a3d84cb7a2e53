// The sound library behind the BASS_* operations, shared by the headless and
// SDL2 backends: tracker modules loaded from files with libopenmpt, mixed at
// the output rate and scaled by the output volume, pulled by an output device
// or, without one, moved on by the clock; what is played can be captured.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/bass.h"
#include "platform/sound/capture.h"

struct openmpt_module;

namespace orbex::sound {

// Illegal parameter: a volume outside 0..100, a memory load without bytes.
constexpr int BASS_ERROR_ILLPARAM = 20;

constexpr int FULL_VOLUME = 100;
// Bigger files are refused before anything is read.
constexpr std::uint64_t MAX_MODULE_BYTES = 64u << 20;
// Modules loaded at once; the viewer keeps one.
constexpr std::size_t MAX_MODULES = 64;
constexpr DWORD MIN_RATE = 4000;
constexpr DWORD MAX_RATE = 192000;

// An audio device. The library calls these on the viewer's thread, never
// while it holds its lock; the device pulls the mix with
// ModuleSoundLibrary::render on a thread of its own.
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

class ModuleSoundLibrary final : public SoundLibrary {
  public:
    // Without an output (nullptr) the music moves on only through advance.
    explicit ModuleSoundLibrary(Output *output);
    ~ModuleSoundLibrary() override;
    ModuleSoundLibrary(const ModuleSoundLibrary &) = delete;
    ModuleSoundLibrary &operator=(const ModuleSoundLibrary &) = delete;

    BOOL init(int device, DWORD freq, DWORD flags, HWND win) override;
    BOOL start() override;
    HMUSIC musicLoad(BOOL mem, const void *file, DWORD offset, DWORD length, DWORD flags) override;
    BOOL musicPlay(HMUSIC handle) override;
    int errorGetCode() override;
    int getVolume() override;
    BOOL setVolume(int volume) override;
    BOOL stop() override;
    BOOL musicFree(HMUSIC handle) override;

    // Called by the output device on its thread: the next frames of the mix
    // as interleaved left, right samples; silence while stopped.
    void render(std::int16_t *stereo, std::size_t frames);
    // Without an output device: ms milliseconds of music are played. The
    // frame count follows the total time exactly, so steps of any size add
    // up to the same sound.
    void advance(DWORD ms);
    // The WAV file (ORBEX_AUDIO_CAPTURE) opened at the first BASS_Init;
    // nullptr or "" for none. Takes effect at the next initialisation.
    void setCapturePath(const char *path);
    // Tests: the volume reported from now on, once initialised.
    void forceVolume(int volume);
    // Back to a library never initialised: device closed, modules freed,
    // capture closed, handles counted from 1 again.
    void reset();

  private:
    struct Module {
        openmpt_module *pModule = nullptr;
        bool bPlaying = false;
    };
    static constexpr std::size_t BLOCK_FRAMES = 256;

    BOOL fail(int code);
    void renderBlockLocked();
    void mixLocked(std::int16_t *stereo, std::size_t frames);
    void closeOutput();

    Output *pOutput;
    std::mutex mutex;
    bool bInitialised = false;
    bool bStarted = false;
    bool bDeviceOpen = false;
    DWORD dwRate = 0;
    int nVolume = -1;
    int nLastError = BASS_OK;
    HMUSIC hNext = 1;
    std::map<HMUSIC, Module> modules;
    std::string captureName;
    bool bCaptureTried = false;
    WavCapture capture;
    std::uint64_t qwAdvancedMs = 0;
    std::uint64_t qwAdvancedFrames = 0;
    // The block being played, and how many of its frames are played already.
    std::array<float, 2 * BLOCK_FRAMES> afMix{};
    std::size_t nBlockUsed = BLOCK_FRAMES;
    std::array<float, 2 * BLOCK_FRAMES> afModule{};
    std::array<std::int16_t, 2 * 1024> asOut{};
};

} // namespace orbex::sound
