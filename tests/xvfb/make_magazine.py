#!/usr/bin/env python3
"""Writes a tiny magazine for the window test into the folder given.

Every picture is one flat colour so that a pixel tells which is on screen:
start picture red, background blue, end picture green. Every printable glyph
of the font is a full 8x16 block. Article 1 has an article link on its third line to
article 2, whose odd lines are filled with green blocks and whose third line
links back to article 1.
"""
import os
import struct
import sys

INTRO = (200, 40, 30)
BACKGROUND = (20, 60, 180)
OUTRO = (30, 160, 60)


def pcx(colour):
    header = struct.pack('<BBBBHHHHHH', 10, 5, 1, 8, 0, 0, 639, 479, 72, 72)
    header += bytes(48) + bytes([0, 1]) + struct.pack('<HH', 640, 1)
    header += bytes(128 - len(header))
    # Runs of at most 63: ten of 63 and one of 10 make a row of index 1.
    row = bytes([0xC0 | 63, 1]) * 10 + bytes([0xC0 | 10, 1])
    palette = bytearray(768)
    palette[3:6] = bytes(colour)
    return header + row * 480 + bytes([12]) + bytes(palette)


def link(article):
    # Normal orange, hover cyan (colours stored blue, green, red).
    return (b'\x9f(' + str(article).encode() + b') 0)' + bytes([0, 200, 255]) + bytes([255, 255, 0]) + b'#' * 60 +
            b'\x9f')


def archive():
    contents = b'd\n' + b'Inhalt\n\n' + link(2) + b'\n'
    # Long enough that edge scrolling takes about ten seconds to reach its end.
    lines = []
    for n in range(200):
        lines.append(b'#' * 70 if n % 2 == 1 else b'')
    # A link back at the place of the contents page's link.
    lines[2] = link(1)
    article = b' Zweiter Artikel\nDie Redaktion\n\n' + b'\xa2\x00\xff\x00' + b'\n'.join(lines) + b'\n'
    return contents + b'\x9e' + article


def main():
    folder = sys.argv[1]
    data = os.path.join(folder, 'data')
    os.makedirs(data, exist_ok=True)
    depth_choice = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    with open(os.path.join(data, 'begin.raw'), 'wb') as f:
        f.write(bytes(INTRO) * (640 * 480))
    with open(os.path.join(data, 'BG_8b.pcx'), 'wb') as f:
        f.write(pcx(BACKGROUND))
    with open(os.path.join(data, 'ende.pcx'), 'wb') as f:
        f.write(pcx(OUTRO))
    with open(os.path.join(data, 'chars.168'), 'wb') as f:
        # Only printable ASCII is visible: the zeros behind a text and the
        # line ends are drawn as characters too.
        f.write(b''.join(bytes([1 if 0x21 <= g <= 0x7E else 0]) * 128 for g in range(256)))
    with open(os.path.join(data, 'orbex.dat'), 'wb') as f:
        f.write(archive())
    # Sample rate, colour depth choice, pointer choice (the viewer's own).
    with open(os.path.join(folder, 'orbex.cfg'), 'wb') as f:
        f.write(bytes([1, depth_choice, 1]))


if __name__ == '__main__':
    main()
