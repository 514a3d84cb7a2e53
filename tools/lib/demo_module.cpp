#include "demo_module.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "files.h"

namespace orbex {

namespace {

constexpr int CHANNELS = 2;
constexpr int ROWS = 16;
constexpr int SAMPLE_BYTES = 256;
constexpr std::uint32_t INSTRUMENT_HEADER_BYTES = 263;
constexpr std::uint32_t SAMPLE_HEADER_BYTES = 40;
// XM notes: 1 is C-0, so C-n is 1 + 12 n.
constexpr std::uint8_t note(int octave, int semitone) { return static_cast<std::uint8_t>(1 + 12 * octave + semitone); }

struct Writer {
    std::vector<std::uint8_t> bytes;
    void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v & 0xFF);
        u8(v >> 8 & 0xFF);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void text(const char *s, std::size_t width) {
        std::size_t n = std::strlen(s);
        for (std::size_t i = 0; i < width; ++i)
            u8(i < n ? static_cast<std::uint8_t>(s[i]) : 0);
    }
    void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
};

struct Tune {
    const char *name;
    int speed;
    int bpm;
    std::array<std::uint8_t, ROWS> melody;
    std::uint8_t bass;
    bool saw;
    int period; // samples per wave cycle: 8363 / period Hz at C-4
};

const Tune TUNES[2] = {
    {"ORBEX demo low",
     6,
     125,
     {note(3, 0), 0, note(3, 4), 0, note(3, 7), 0, note(3, 4), 0, note(3, 0), 0, note(3, 5), 0, note(3, 9), 0,
      note(3, 5), 0},
     note(2, 0),
     false,
     32},
    {"ORBEX demo high",
     3,
     150,
     {note(6, 0), note(6, 7), note(6, 4), note(6, 11), note(6, 2), note(6, 9), note(6, 5), note(6, 0), note(6, 7),
      note(6, 4), note(6, 11), note(6, 2), note(6, 9), note(6, 5), note(6, 0), note(6, 7)},
     note(5, 0),
     true,
     16},
};

} // namespace

// The module file written field by field in the XM layout's order, header,
// pattern and instrument: one file's layout, read top to bottom.
std::vector<std::uint8_t> demoModule(int variant) {
    const Tune &tune = TUNES[variant == 1 ? 1 : 0];
    Writer w;
    w.text("Extended Module: ", 17);
    w.text(tune.name, 20);
    w.u8(0x1A);
    w.text("orbex modules", 20);
    w.u16(0x0104);
    w.u32(276); // header size from here: 20 bytes of fields and the order table
    w.u16(1);   // song length
    w.u16(0);   // restart position
    w.u16(CHANNELS);
    w.u16(1); // patterns
    w.u16(1); // instruments
    w.u16(1); // linear frequency table
    w.u16(static_cast<std::uint32_t>(tune.speed));
    w.u16(static_cast<std::uint32_t>(tune.bpm));
    w.zeros(256); // order table: pattern 0

    // The pattern, every note unpacked: note, instrument, volume, effect, parameter.
    w.u32(9);
    w.u8(0);
    w.u16(ROWS);
    w.u16(ROWS * CHANNELS * 5);
    for (int row = 0; row < ROWS; ++row) {
        std::uint8_t melody = tune.melody[static_cast<std::size_t>(row)];
        std::uint8_t bass = row % 8 == 0 ? tune.bass : 0;
        for (std::uint8_t n : {melody, bass}) {
            w.u8(n);
            w.u8(n != 0 ? 1 : 0);
            w.zeros(3);
        }
    }

    // The instrument with its one sample, no envelopes: a note holds until the next.
    std::size_t instrumentStart = w.bytes.size();
    w.u32(INSTRUMENT_HEADER_BYTES);
    w.text(tune.saw ? "saw" : "square", 22);
    w.u8(0);
    w.u16(1); // samples
    w.u32(SAMPLE_HEADER_BYTES);
    w.zeros(96);      // every note plays sample 0
    w.zeros(48 + 48); // volume and panning envelope points
    w.zeros(2 + 6);   // point counts, sustain and loop points
    w.zeros(2);       // envelope types: off
    w.zeros(4);       // vibrato
    w.u16(0);         // fade-out
    w.zeros(INSTRUMENT_HEADER_BYTES - (w.bytes.size() - instrumentStart));

    w.u32(SAMPLE_BYTES);
    w.u32(0);            // loop start
    w.u32(SAMPLE_BYTES); // loop length: the whole sample
    w.u8(48);            // volume, out of 64
    w.u8(0);             // fine tune
    w.u8(1);             // forward loop, 8 bits
    w.u8(128);           // panning
    w.u8(0);             // relative note
    w.u8(0);
    w.text(tune.saw ? "saw" : "square", 22);

    // 8-bit sample data, each byte the difference to the one before.
    std::int8_t previous = 0;
    for (int i = 0; i < SAMPLE_BYTES; ++i) {
        int phase = i % tune.period;
        int value = tune.saw ? -100 + 200 * phase / tune.period : (phase < tune.period / 2 ? 90 : -90);
        auto sample = static_cast<std::int8_t>(value);
        w.u8(static_cast<std::uint8_t>(sample - previous));
        previous = sample;
    }
    return w.bytes;
}

bool writeDemoModule(const std::string &path, int variant) { return writeBytes(path, demoModule(variant)); }

} // namespace orbex
