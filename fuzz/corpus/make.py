#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets, one folder per target, from the
demo magazine that the build lays out and from small files made here.

    python3 fuzz/corpus/make.py build/magazine

Seeds stay small (a few KB per target): the fuzzer grows what it needs."""
import pathlib
import struct
import sys
import zlib

here = pathlib.Path(__file__).resolve().parent
magazine = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build/magazine")
source = here.parent.parent / "magazine"


def read(name):
    return (magazine / name).read_bytes()


def write(target, name, data):
    folder = here / target
    folder.mkdir(exist_ok=True)
    (folder / name).write_bytes(data)


def pcx(width, height, pixels, palette, xmin=0, ymin=0, cut=None):
    """An 8-bit run-length PCX as the viewer reads it, palette last."""
    header = bytearray(128)
    header[0:4] = bytes([0x0A, 5, 1, 8])
    struct.pack_into("<HHHHHH", header, 4, xmin, ymin, xmin + width - 1, ymin + height - 1, 72, 72)
    header[65] = 1
    struct.pack_into("<HH", header, 66, width, 1)
    body = bytearray()
    i = 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 63 and pixels[i + run] == pixels[i]:
            run += 1
        if run > 1 or pixels[i] >= 0xC0:
            body.append(0xC0 | run)
        body.append(pixels[i])
        i += run
    if cut is not None:
        body = body[:cut]
    return bytes(header) + bytes(body) + b"\x0c" + bytes(palette)


def palette(step):
    return bytes((i * step + c * 40) & 0xFF for i in range(256) for c in range(3))


def png(width, height, colour_type, depth, rows, plte=None, trns=None):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0))
    if plte is not None:
        out += chunk(b"PLTE", plte)
    if trns is not None:
        out += chunk(b"tRNS", trns)
    raw = b"".join(b"\x00" + row for row in rows)
    return out + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


archive = read("data/orbex.dat")
cursor = read("data/cursor.pcx")
modules = [read("extreme2.xm"), read("modul2.xm")]
font_head = read("data/chars.168")[: 40 * 128]

# The archive with the page: 12 choice bytes, then the archive. The pointer
# is led over the contents page's links in the first seed.
write("fuzz_archive", "demo", bytes([0, 0, 60, 0, 40, 0x05, 0, 50, 8, 3, 0, 0]) + archive)
write("fuzz_archive", "demo-scrolled", bytes([20, 7, 9, 0, 120, 0x7B, 4, 0, 0xF8, 0xFE, 0x10, 0x80]) + archive)
links = (b"d\n\xa2\xff\x80\x00colour\n\x9f(2) 3)\x01\x02\x03\x04\x05\x06link\x9f "
         b"\xa8modul2.xm\"\x01\x02\x03\x04\x05\x06music\xa8\n\x9f(12] 34]abcdefopen")
write("fuzz_archive", "links", bytes([0, 0, 1, 0, 0, 0x45, 0, 60, 8, 2, 0, 0]) + links + b"\x9e")
write("fuzz_archive", "headers", bytes(12) + b" " + b"T" * 50 + b"\n" + b"A" * 60 + b"\n" + b"\n" * 55 +
      b"text\x9e\x0d\x0dd\x1a")

# PCX pictures for the 640x480 buffer, and the pointer.
write("fuzz_pcx", "small", pcx(8, 4, bytes(range(32)), palette(3)))
write("fuzz_pcx", "runs", pcx(40, 6, bytes([i // 50 * 60 for i in range(240)]), palette(7), xmin=2, ymin=1))
write("fuzz_pcx", "short-data", pcx(640, 480, bytes(2000), palette(1), cut=30))
write("fuzz_pcx", "wide", pcx(700, 2, bytes([0xC7]) * 1400, palette(5)))
write("fuzz_cursor", "demo", cursor)
write("fuzz_cursor", "small", pcx(4, 4, bytes([0, 1, 2, 3] * 4), palette(11)))
write("fuzz_cursor", "large", pcx(40, 40, bytes([i % 7 for i in range(1600)]), palette(13)))

# The font: the start of the demo font, and a short one with text-mode bytes.
write("fuzz_font", "demo-head", font_head)
write("fuzz_font", "text-mode", bytes([1, 0, 0x0D, 1, 0x0D, 0x0D, 1, 0x1A, 1]))

# orbex.cfg: the choice of display byte first (depths offered, 16-bit masks).
for name, data in {"default": b"\x1f\x01\x01\x01", "short": b"\x1f\x02", "forced-layout": b"\x1f\x03\x06\x00",
                   "text-mode": b"\x0b\x0d\x02\x1a\x01", "no-file": b"\x80", "mode-kept": b"\x7f\x01\x00\x01"}.items():
    write("fuzz_config", name, data)

# The raw start picture: short ones; the reader fills the rest with white.
write("fuzz_start", "short", bytes(range(256)) * 3)
write("fuzz_start", "empty", b"")

# Modules: the demo ones.
write("fuzz_module", "extreme2.xm", modules[0])
write("fuzz_module", "modul2.xm", modules[1])

# Article sources: "name line, text", cut at zero bytes.
articles = sorted((source / "articles").glob("*.txt"))
sources = b"\0".join(p.name.encode() + b"\n" + p.read_bytes() for p in articles[:3])
write("fuzz_tool_articles", "demo", sources)
write("fuzz_tool_articles", "markup", b"01-a.txt\n{verbatim}\n x\ny\n\n{raw 9F 0D 1A}{{\0002-b.txt\nTitle: T\nAuthor: A\n"
      b"\n{colour 1 2 3}{link 1 0 #5D0000 #FFFFFF}go{/link}{music m.xm #010203 #040506}m{/music}\n{no-separator}")

# A magazine for check: files cut at "@@@@" (archive, background, font, start
# picture, end picture, pointer, modules).
mag = [archive, pcx(640, 2, bytes(1280), palette(1)), font_head[:256], b"\xff" * 30, pcx(8, 4, bytes(32), palette(2)),
       cursor, modules[0], modules[1]]
write("fuzz_tool_check", "demo", b"@@@@".join(mag))
write("fuzz_tool_check", "archive-only", archive[:1500])

# PNG sources: the colour types and depths libpng expands.
pointer = [b"".join(bytes([x * 8, y * 8, 0, 255 if x > 2 else 0]) for x in range(32)) for y in range(32)]
write("fuzz_tool_png", "rgba-32", png(32, 32, 6, 8, pointer))
write("fuzz_tool_png", "grey-2", png(3, 2, 0, 2, [b"\x1b", b"\xe4"]))
write("fuzz_tool_png", "palette", png(5, 3, 3, 4, [b"\x01\x23\x40"] * 3, plte=bytes(range(48)), trns=b"\x00\x80"))
write("fuzz_tool_png", "rgb16", png(2, 2, 2, 16, [bytes(range(12)), bytes(range(12, 24))]))
write("fuzz_tool_png", "grey-alpha", png(4, 1, 4, 8, [bytes([0, 0, 128, 128, 255, 0, 255, 255])]))

# Archives for unpack: the demo one and odd records.
write("fuzz_tool_unpack", "demo", archive)
write("fuzz_tool_unpack", "odd", b" " + b"T" * 50 + b"\n\n\x9e\x9f(1) 1)]]]]]]text\x9f\x9e\xa8a b\"\x01\x02\x03\x04\x05\x06"
      b"x\xa8\x9ed\n\n\nTitle: x\x9e\x0d\x1a\xa2\x0a\x0d\x1a trailing")
write("fuzz_tool_unpack", "empty-records", b"\x9e\x9e\x9e")

# Font sources for `orbex-tool font`: the head of the demo font's .hex, and
# bad, wide, commented and CR LF lines.
font_hex = (source / "font.hex").read_bytes().split(b"\n")
write("fuzz_tool_font", "demo-head", b"\n".join(font_hex[:40]) + b"\n")
write("fuzz_tool_font", "odd-lines", b"# comment\r\n0041:0000000018242442427E424242420000\r\n\r\n"
      b"20AC:C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003C003\n"
      b"zz41:00\n0042:0011\n:00\n1F600:" + b"00" * 16 + b"\n00E4")

# Headless scripts: every command, comments, odd numbers.
write("fuzz_script", "every-command", b"# a tour\nframes 3\nkey F9\nkey 0x41\nmove 60 342 # a link\nldown\n"
      b"frames 2\nlup\nrdown\nactivate 0\nactivate 1\nshot a.png\nkey PageDown\nclose\n")
write("fuzz_script", "odd", b"  frames 0x10\r\nmove -5 99999999999\nkey Num8\n\tframes 2000000000\nkey 0xFF\n")

# user-dirs.dirs as xdg-user-dirs writes it, and odd lines.
write("fuzz_user_dirs", "default", b'# This file is written by xdg-user-dirs-update\nXDG_DESKTOP_DIR="$HOME/Desktop"\n'
      b'XDG_PICTURES_DIR="$HOME/Bilder"\nXDG_MUSIC_DIR="$HOME/Musik"\n')
write("fuzz_user_dirs", "odd", b'  XDG_PICTURES_DIR = "/srv/pics"\nXDG_PICTURES_DIR="relative"\nXDG_PICTURES_DIR="$HOME'
      b'\nXDG_PICTURES_DIR\t="$HOMEX/y"\n')

# Zip magazines: a small one in one top folder, one at the top with a stored
# entry, and hostile names and modes the check refuses.
import io
import zipfile


def zipped(entries):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, mode, method in entries:
            info = zipfile.ZipInfo(name, (2026, 12, 7, 0, 0, 0))
            info.compress_type = method
            if mode:
                info.create_system = 3
                info.external_attr = mode << 16
            z.writestr(info, data)
    return out.getvalue()


deflated, stored = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED
write("fuzz_zip", "top-folder", zipped([("issue/", b"", 0o40755, stored),
                                       ("issue/data/orbex.dat", archive[:2000], 0o100644, deflated),
                                       ("issue/extreme2.xm", read("extreme2.xm"), 0o100644, deflated)]))
write("fuzz_zip", "at-top", zipped([("data/orbex.dat", b"Contents\n\x9e", 0, stored),
                                   ("data/cursor.pcx", b"\x0a" * 300, 0, deflated)]))
write("fuzz_zip", "hostile", zipped([("data/orbex.dat", b"x\x9e", 0, stored), ("../up", b"x", 0, stored),
                                    ("link", b"/etc/passwd", 0o120777, stored)]))
# The zips every reader must agree on (tests/data/zips): the ones built to
# deceive, two directories, overlapping entries, headers that disagree.
for case in ["overlap", "two-directories", "two-ends", "header-size", "outside-local", "good-descriptor",
             "header-descriptor", "gap-between", "good-zip64"]:
    write("fuzz_zip", case, (here.parent.parent / "tests" / "data" / "zips" / (case + ".zip")).read_bytes())
