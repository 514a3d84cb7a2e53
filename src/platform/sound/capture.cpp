#include "platform/sound/capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/files.h"

namespace orbex::sound {

namespace {

constexpr std::size_t HEADER_BYTES = 44;
constexpr std::size_t BYTES_PER_FRAME = 4;
// The RIFF size field counts 36 header bytes besides the data.
constexpr std::uint32_t MAX_DATA_BYTES = (0xFFFFFFFFu - 36u) / BYTES_PER_FRAME * BYTES_PER_FRAME;
constexpr std::size_t BLOCK_FRAMES = 1024;

void put16(std::uint8_t *p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t *p, std::uint32_t v) {
    put16(p, static_cast<std::uint16_t>(v));
    put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

bool writeAll(int fd, const std::uint8_t *data, std::size_t n) {
    while (n > 0) {
        ssize_t done = ::write(fd, data, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

bool writeAt(int fd, const std::uint8_t *data, std::size_t n, off_t at) {
    return ::pwrite(fd, data, n, at) == static_cast<ssize_t>(n);
}

} // namespace

WavCapture::~WavCapture() { close(); }

bool WavCapture::open(const char *path, DWORD rate) {
    close();
    // A FIFO without a reader must not hang the first BASS_Init, and the
    // header is rewritten in place, so only a regular file will do.
    std::string why;
    fd = openRegularForWriting(path, O_WRONLY | O_CREAT | O_TRUNC, why, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "orbex: cannot write audio capture %s: %s\n", path, why.c_str());
        return false;
    }
    sampleRate = rate;
    dataBytes = 0;
    std::array<std::uint8_t, HEADER_BYTES> h{};
    std::memcpy(h.data(), "RIFF", 4);
    put32(h.data() + 4, 36);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(h.data() + 16, 16);
    put16(h.data() + 20, 1); // PCM
    put16(h.data() + 22, 2);
    put32(h.data() + 24, rate);
    put32(h.data() + 28, rate * BYTES_PER_FRAME);
    put16(h.data() + 32, BYTES_PER_FRAME);
    put16(h.data() + 34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    put32(h.data() + 40, 0);
    if (!writeAll(fd, h.data(), h.size())) {
        std::fprintf(stderr, "orbex: cannot write audio capture %s\n", path);
        close();
        return false;
    }
    return true;
}

void WavCapture::write(const std::int16_t *stereo, std::size_t frames) {
    std::array<std::uint8_t, BLOCK_FRAMES * BYTES_PER_FRAME> bytes{};
    while (fd >= 0 && frames > 0) {
        std::size_t n = frames < BLOCK_FRAMES ? frames : BLOCK_FRAMES;
        std::size_t room = (MAX_DATA_BYTES - dataBytes) / BYTES_PER_FRAME;
        if (n > room)
            n = room;
        if (n == 0) {
            std::fprintf(stderr, "orbex: audio capture full at 4 GiB, stopped\n");
            close();
            return;
        }
        for (std::size_t i = 0; i < 2 * n; ++i)
            put16(bytes.data() + 2 * i, static_cast<std::uint16_t>(stereo[i]));
        if (!writeAll(fd, bytes.data(), n * BYTES_PER_FRAME)) {
            std::fprintf(stderr, "orbex: audio capture write failed, stopped\n");
            close();
            return;
        }
        dataBytes += static_cast<std::uint32_t>(n * BYTES_PER_FRAME);
        // The sizes follow every block, so the file is valid if the program ends now.
        std::array<std::uint8_t, 4> size{};
        put32(size.data(), 36 + dataBytes);
        bool ok = writeAt(fd, size.data(), 4, 4);
        put32(size.data(), dataBytes);
        ok = ok && writeAt(fd, size.data(), 4, 40);
        if (!ok) {
            std::fprintf(stderr, "orbex: audio capture write failed, stopped\n");
            close();
            return;
        }
        stereo += 2 * n;
        frames -= n;
    }
}

void WavCapture::close() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
    sampleRate = 0;
    dataBytes = 0;
}

} // namespace orbex::sound
