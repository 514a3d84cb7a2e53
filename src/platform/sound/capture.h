// The audio capture (ORBEX_AUDIO_CAPTURE): what the sound library plays,
// written as a 16-bit stereo WAV file whose header is brought up to date after
// every block, so the file is complete whenever the program stops.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/win32.h"

namespace orbex::sound {

class WavCapture {
  public:
    WavCapture() = default;
    ~WavCapture();
    WavCapture(const WavCapture &) = delete;
    WavCapture &operator=(const WavCapture &) = delete;

    // Creates (or empties) path for sound at rate frames per second; false,
    // after a line on standard error, when the file cannot be written.
    bool open(const char *path, DWORD rate);
    bool isOpen() const { return fd >= 0; }
    DWORD rate() const { return sampleRate; }
    // Appends frames of interleaved left, right samples. A failing write, or
    // the 4 GiB that a WAV file can hold, ends the capture.
    void write(const std::int16_t *stereo, std::size_t frames);
    void close();

  private:
    int fd = -1;
    DWORD sampleRate = 0;
    std::uint32_t dataBytes = 0;
};

} // namespace orbex::sound
