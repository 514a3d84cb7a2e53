#!/usr/bin/env python3
"""Draws the sample magazine's pictures once; the PNGs are committed.

begin.png  640x480 start picture (any number of colours: it becomes begin.raw)
ende.png   640x480 end picture, at most 256 colours (becomes ende.pcx)
bg.png     640x480 background, at most 256 colours (becomes BG_8b.pcx)
cursor.png 32x32 pointer on pure black, which the viewer shows transparent

Text is drawn with the magazine's own font (../font.hex). Needs only Python 3.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 640, 480


def load_font():
    glyphs = {}
    with open(os.path.join(HERE, "..", "font.hex")) as f:
        for line in f:
            if line.startswith("#") or ":" not in line:
                continue
            cp, bits = line.strip().split(":")
            rows = bytes.fromhex(bits)
            if len(rows) == 32:  # double width: keep every other column pair
                rows = bytes(
                    sum(0x80 >> c for c in range(8) if ((rows[2 * r] << 8 | rows[2 * r + 1]) >> (14 - 2 * c)) & 3)
                    for r in range(16))
            glyphs[int(cp, 16)] = rows
    return glyphs


FONT = load_font()


class Picture:
    def __init__(self, w, h, colour=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(colour) for _ in range(w * h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = list(c)

    def get(self, x, y):
        return self.px[y * self.w + x]

    def text(self, s, x, y, scale, colour_at):
        """Draws s with its top-left at (x, y); colour_at(dx, dy) colours each pixel."""
        for i, ch in enumerate(s):
            rows = FONT.get(ord(ch), bytes(16))
            for r in range(16):
                for c in range(8):
                    if rows[r] & (0x80 >> c):
                        for sy in range(scale):
                            for sx in range(scale):
                                dx = (i * 8 + c) * scale + sx
                                dy = r * scale + sy
                                self.set(x + dx, y + dy, colour_at(dx, dy))

    def centred(self, s, y, scale, colour_at, shadow=None):
        x = (self.w - len(s) * 8 * scale) // 2
        if shadow:
            self.text(s, x + scale, y + scale, scale, lambda dx, dy: shadow)
        self.text(s, x, y, scale, colour_at)

    def save(self, name):
        raw = b"".join(b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(png)


def noise(x, y, seed=0):
    """A fixed pseudo-random value 0..255 per pixel."""
    n = (x * 374761393 + y * 668265263 + seed * 1442695041) & 0xFFFFFFFF
    n = ((n ^ (n >> 13)) * 1274126177) & 0xFFFFFFFF
    return (n ^ (n >> 16)) & 0xFF


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t + 0.5) for i in range(3))


def start_picture():
    p = Picture(W, H)
    top, middle, bottom = (8, 10, 48), (92, 30, 110), (236, 120, 40)
    for y in range(H):
        t = y / (H - 1)
        base = mix(top, middle, t / 0.6) if t < 0.6 else mix(middle, bottom, (t - 0.6) / 0.4)
        for x in range(W):
            v = (noise(x, y, 1) - 128) // 40
            p.set(x, y, tuple(max(0, min(255, c + v)) for c in base))
    # A few stars in the dark upper half.
    for i in range(140):
        x, y = noise(i, 7, 2) * W // 256 + noise(i, 3, 5) % 3, noise(i, 11, 3) * 240 // 256
        b = 120 + noise(i, 1, 4) // 2
        p.set(x, y, (b, b, min(255, b + 30)))
    gold = lambda dx, dy: mix((255, 240, 150), (230, 110, 20), dy / 128)
    p.centred("ORBEX 5", 120, 10, gold, shadow=(20, 6, 30))
    p.centred("Das Diskmagazin", 290, 3, lambda dx, dy: (235, 225, 255), shadow=(30, 10, 40))
    p.centred("Beispielausgabe", 350, 2, lambda dx, dy: (255, 230, 200), shadow=(60, 20, 30))
    p.centred("Klick oder warte ...", 440, 1, lambda dx, dy: (60, 20, 20))
    p.save("begin.png")


def end_picture():
    p = Picture(W, H)
    # 64 bands of one colour each keep the picture well below 256 colours.
    for y in range(H):
        band = y * 64 // H
        c = mix((40, 12, 60), (4, 4, 16), band / 63)
        for x in range(W):
            p.set(x, y, c)
    silver = lambda dx, dy: mix((250, 250, 255), (150, 160, 200), dy / 80)
    p.centred("Tsch\u00fcss!", 150, 5, silver, shadow=(0, 0, 0))
    p.centred("Bis zur n\u00e4chsten Ausgabe von ORBEX", 270, 2, lambda dx, dy: (255, 200, 120), shadow=(0, 0, 0))
    p.centred("Die Musik klingt aus ...", 330, 1, lambda dx, dy: (170, 160, 200))
    p.save("ende.png")


def background_picture():
    p = Picture(W, H)
    # Banner above the header lines: a blue-violet gradient with a grain.
    for y in range(176):
        for x in range(W):
            base = mix((24, 30, 84), (50, 16, 70), x / (W - 1))
            base = mix(base, (6, 6, 20), y / 175)
            v = noise(x, y, 9) // 64  # 0..3 keeps the colour count low
            p.set(x, y, tuple(min(255, c + 4 * v) for c in base))
    # The text area: near-black with a faint diagonal weave.
    for y in range(176, H):
        for x in range(W):
            weave = 4 if (x + y) % 8 < 2 or (x - y) % 8 < 2 else 0
            g = 12 + weave + (noise(x, y, 3) // 128) * 2
            p.set(x, y, (g, g, g + 8))
    # Thin rules above and below the header lines, and the scroll bar's track.
    for x in range(4, 632):
        p.set(x, 176, (110, 90, 170))
        p.set(x, 200, (70, 60, 120))
        p.set(x, 464, (50, 45, 90))
    for y in range(185, H):
        for x in range(637, 640):
            p.set(x, y, (26, 24, 40))
    gold = lambda dx, dy: mix((255, 235, 140), (225, 120, 30), dy / 80)
    shadow = (4, 4, 12)
    p.text("ORBEX 5", 32, 36, 5, lambda dx, dy: shadow)
    p.text("ORBEX 5", 28, 32, 5, gold)
    p.text("Das Diskmagazin", 340, 64, 2, lambda dx, dy: (200, 200, 240))
    p.text("Beispielausgabe", 364, 104, 2, lambda dx, dy: (240, 180, 120))
    p.text("Rechte Maustaste: Inhalt   F1: Hilfe   F12: Ende", 28, 150, 1, lambda dx, dy: (140, 140, 190))
    p.save("bg.png")


def pointer_picture():
    p = Picture(32, 32)
    arrow = [
        "X",
        "XX",
        "X.X",
        "X..X",
        "X...X",
        "X....X",
        "X.....X",
        "X......X",
        "X.......X",
        "X........X",
        "X.........X",
        "X..........X",
        "X......XXXXXX",
        "X...X..X",
        "X..XX..X",
        "X.X  X..X",
        "XX   X..X",
        "X     X..X",
        "      X..X",
        "       XX",
    ]
    for y, row in enumerate(arrow):
        for x, ch in enumerate(row):
            if ch == "X":
                p.set(x + 1, y + 1, (40, 30, 70))
            elif ch == ".":
                p.set(x + 1, y + 1, mix((255, 250, 200), (250, 170, 60), y / 20))
    p.save("cursor.png")


if __name__ == "__main__":
    start_picture()
    end_picture()
    background_picture()
    pointer_picture()
