#include "artwork.h"

#include <algorithm>
#include <array>
#include <functional>

#include "common/geometry.h"
#include "encoding.h"

namespace orbex {

namespace {

using Colour = std::array<int, 3>;

Colour mix(const Colour &a, const Colour &b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    Colour c{};
    for (int i = 0; i < 3; ++i)
        c[i] = static_cast<int>(a[i] + (b[i] - a[i]) * t + 0.5);
    return c;
}

// A fixed pseudo-random value 0..255 per pixel, the same on every machine.
int noise(int x, int y, int seed) {
    std::uint32_t n = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u +
                      static_cast<std::uint32_t>(seed) * 1442695041u;
    n = (n ^ (n >> 13)) * 1274126177u;
    return static_cast<int>((n ^ (n >> 16)) & 0xFF);
}

class Canvas {
  public:
    Canvas(int width, int height) { image = RgbImage{width, height, std::vector<std::uint8_t>(width * height * 3)}; }

    RgbImage image;

    void set(int x, int y, const Colour &c) {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height)
            return;
        std::uint8_t *p = &image.rgb[3 * (static_cast<std::size_t>(y) * image.width + x)];
        for (int i = 0; i < 3; ++i)
            p[i] = static_cast<std::uint8_t>(std::clamp(c[i], 0, 255));
    }

    // Text in the font, each pixel a scale x scale block; colourAt gets the
    // offset within the text's height (0..16 scale) for gradients.
    void text(const Glyphs &font, const std::string &utf8, int x, int y, int scale,
              const std::function<Colour(int dy)> &colourAt) {
        int column = 0;
        for (std::size_t pos = 0; pos < utf8.size();) {
            std::uint32_t cp = 0;
            if (!nextUtf8(utf8, pos, cp))
                continue;
            auto glyph = font.find(cp);
            for (int r = 0; glyph != font.end() && r < 16; ++r)
                for (int c = 0; c < 8; ++c)
                    if ((glyph->second[r] >> (7 - c)) & 1)
                        for (int sy = 0; sy < scale; ++sy)
                            for (int sx = 0; sx < scale; ++sx)
                                set(x + (column * 8 + c) * scale + sx, y + r * scale + sy, colourAt(r * scale + sy));
            ++column;
        }
    }

    void centred(const Glyphs &font, const std::string &utf8, int y, int scale,
                 const std::function<Colour(int dy)> &colourAt, const Colour *shadow = nullptr) {
        int x = (image.width - characters(utf8) * 8 * scale) / 2;
        if (shadow != nullptr)
            text(font, utf8, x + scale, y + scale, scale, [shadow](int) { return *shadow; });
        text(font, utf8, x, y, scale, colourAt);
    }

    static int characters(const std::string &utf8) {
        int n = 0;
        for (std::size_t pos = 0; pos < utf8.size();) {
            std::uint32_t cp = 0;
            nextUtf8(utf8, pos, cp);
            ++n;
        }
        return n;
    }
};

// The largest scale up to max at which text fits the width.
int fitScale(const std::string &utf8, int width, int max) {
    int n = std::max(1, Canvas::characters(utf8));
    return std::clamp(width / (8 * n), 1, max);
}

// A gradient in a few steps, so the picture keeps few colours.
Colour stepped(const Colour &a, const Colour &b, double t, int steps) {
    return mix(a, b, static_cast<int>(std::clamp(t, 0.0, 1.0) * (steps - 1) + 0.5) / static_cast<double>(steps - 1));
}

} // namespace

RgbImage drawStartPicture(const Glyphs &font, const std::string &title) {
    Canvas p(SCREENWIDTH, SCREENHEIGHT);
    const Colour top{8, 10, 48}, middle{92, 30, 110}, bottom{236, 120, 40};
    for (int y = 0; y < SCREENHEIGHT; ++y) {
        double t = y / (SCREENHEIGHT - 1.0);
        Colour base = t < 0.6 ? mix(top, middle, t / 0.6) : mix(middle, bottom, (t - 0.6) / 0.4);
        for (int x = 0; x < SCREENWIDTH; ++x) {
            int v = (noise(x, y, 1) - 128) / 40;
            p.set(x, y, {base[0] + v, base[1] + v, base[2] + v});
        }
    }
    // A few stars in the dark upper half.
    for (int i = 0; i < 140; ++i) {
        int x = noise(i, 7, 2) * SCREENWIDTH / 256 + noise(i, 3, 5) % 3, y = noise(i, 11, 3) * 240 / 256;
        int b = 120 + noise(i, 1, 4) / 2;
        p.set(x, y, {b, b, std::min(255, b + 30)});
    }
    int scale = fitScale(title, 600, 8);
    const Colour shadow{20, 6, 30}, soft{60, 20, 40};
    p.centred(
        font, title, 200 - 8 * scale, scale,
        [scale](int dy) {
            return mix({255, 240, 150}, {230, 110, 20}, dy / (16.0 * scale));
        },
        &shadow);
    p.centred(
        font, "Issue 1", 290, 3,
        [](int) {
            return Colour{235, 225, 255};
        },
        &soft);
    p.centred(font, "Click or wait ...", 440, 1, [](int) { return Colour{60, 20, 20}; });
    return p.image;
}

RgbImage drawEndPicture(const Glyphs &font, const std::string &title) {
    Canvas p(SCREENWIDTH, SCREENHEIGHT);
    // 64 bands of one colour each keep the picture well below 256 colours.
    for (int y = 0; y < SCREENHEIGHT; ++y) {
        Colour c = mix({40, 12, 60}, {4, 4, 16}, (y * 64 / SCREENHEIGHT) / 63.0);
        for (int x = 0; x < SCREENWIDTH; ++x)
            p.set(x, y, c);
    }
    const Colour black{0, 0, 0};
    p.centred(
        font, "Goodbye!", 150, 5,
        [](int dy) {
            return stepped({250, 250, 255}, {150, 160, 200}, dy / 80.0, 16);
        },
        &black);
    std::string line = "Thank you for reading " + title;
    p.centred(
        font, line, 270, fitScale(line, 620, 2),
        [](int) {
            return Colour{255, 200, 120};
        },
        &black);
    p.centred(font, "The music fades out ...", 330, 1, [](int) { return Colour{170, 160, 200}; });
    return p.image;
}

RgbImage drawBackgroundPicture(const Glyphs &font, const std::string &title) {
    Canvas p(SCREENWIDTH, SCREENHEIGHT);
    // The banner above the header lines: a diagonal gradient in bands.
    for (int y = 0; y < 176; ++y)
        for (int x = 0; x < SCREENWIDTH; ++x) {
            Colour c = stepped({24, 30, 84}, {60, 16, 72}, (x + 2.0 * (175 - y)) / (639 + 350.0), 48);
            p.set(x, y, mix(c, {6, 6, 20}, (y / 22) / 8.0));
        }
    // The text area: near-black with a faint diagonal weave.
    for (int y = 176; y < SCREENHEIGHT; ++y)
        for (int x = 0; x < SCREENWIDTH; ++x) {
            int weave = (x + y) % 8 < 2 || (x - y + SCREENHEIGHT) % 8 < 2 ? 4 : 0;
            p.set(x, y, {12 + weave, 12 + weave, 20 + weave});
        }
    // Rules above and below the header strip and under the text, and the
    // scroll bar's track, where the thumb is drawn.
    for (int x = 4; x < 632; ++x) {
        p.set(x, 176, {110, 90, 170});
        p.set(x, TRACK_TOP, {70, 60, 120});
        p.set(x, 464, {50, 45, 90});
    }
    for (int y = STRIP_TOP; y < SCREENHEIGHT; ++y)
        for (int x = STRIP_LEFT; x <= STRIP_RIGHT; ++x)
            p.set(x, y, {26, 24, 40});
    int scale = fitScale(title, 584, 5);
    const Colour shadow{4, 4, 12};
    int top = 88 - 8 * scale, offset = std::max(1, scale - 1);
    p.text(font, title, 28 + offset, top + offset, scale, [shadow](int) { return shadow; });
    p.text(font, title, 28, top, scale, [scale](int dy) {
        return stepped({255, 235, 140}, {225, 120, 30}, dy / (16.0 * scale), 12);
    });
    p.text(font, "Right button: contents   F1: help   F12: end", 28, 150, 1, [](int) { return Colour{140, 140, 190}; });
    return p.image;
}

RgbImage drawPointerPicture() {
    static const char *const ARROW[] = {
        "X",        "XX",        "X.X",        "X..X",        "X...X",        "X....X",        "X.....X",
        "X......X", "X.......X", "X........X", "X.........X", "X..........X", "X......XXXXXX", "X...X..X",
        "X..XX..X", "X.X  X..X", "XX   X..X",  "X     X..X",  "      X..X",   "       XX",
    };
    Canvas p(32, 32);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; ARROW[y][x] != 0; ++x) {
            if (ARROW[y][x] == 'X')
                p.set(x + 1, y + 1, {40, 30, 70});
            else if (ARROW[y][x] == '.')
                p.set(x + 1, y + 1, mix({255, 250, 200}, {250, 170, 60}, y / 20.0));
        }
    return p.image;
}

} // namespace orbex
