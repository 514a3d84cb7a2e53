// A magazine nobody here made: every file written from scratch by this
// module, with pictures, font, articles and music unlike the demo issue's,
// and a script that walks through it. The browser tests run it natively
// headless and in Chromium and compare the two.
import fs from 'node:fs'
import path from 'node:path'

import { makeModule } from './fixtures.mjs'

const W = 640
const H = 480

// A 256-colour, single-plane, run-length PCX of width x height with the
// palette (768 bytes) at its end, as the viewer reads them.
export function pcx(width, height, palette, pixel) {
  const header = Buffer.alloc(128)
  const bytesPerLine = width + (width & 1)
  header[0] = 0x0a
  header[1] = 5
  header[2] = 1
  header[3] = 8
  header.writeUInt16LE(width - 1, 8)
  header.writeUInt16LE(height - 1, 10)
  header.writeUInt16LE(72, 12)
  header.writeUInt16LE(72, 14)
  header[65] = 1
  header.writeUInt16LE(bytesPerLine, 66)
  header.writeUInt16LE(1, 68)
  const body = []
  for (let y = 0; y < height; ++y) {
    const row = []
    for (let x = 0; x < bytesPerLine; ++x) row.push(x < width ? pixel(x, y) : 0)
    for (let x = 0; x < row.length;) {
      let run = 1
      while (x + run < row.length && row[x + run] === row[x] && run < 63) ++run
      if (run > 1 || row[x] >= 0xc0) body.push(0xc0 | run)
      body.push(row[x])
      x += run
    }
  }
  return Buffer.concat([header, Buffer.from(body), Buffer.from([0x0c]), palette])
}

function palette(colour) {
  const bytes = Buffer.alloc(768)
  for (let i = 0; i < 256; ++i) {
    const [r, g, b] = colour(i)
    bytes[3 * i] = r
    bytes[3 * i + 1] = g
    bytes[3 * i + 2] = b
  }
  return bytes
}

// 256 glyphs of 8 columns x 16 rows, column by column; bytes 0 and 1 only
// (the file is read in text mode). Each glyph a pattern of its own.
function font() {
  const bytes = Buffer.alloc(32768)
  for (let g = 33; g < 256; ++g) {
    for (let c = 0; c < 7; ++c) {
      for (let r = 3; r < 14; ++r) {
        const h = Math.imul(g * 131 + c * 17 + r * 7, 2654435761) >>> 0
        const edge = c === 0 || r === 3 || r === 13
        bytes[g * 128 + c * 16 + r] = edge && g % 3 === 0 ? 1 : (h >>> 28) & 1
      }
    }
  }
  return bytes
}

function startPicture() {
  const bytes = Buffer.alloc(W * H * 3)
  for (let y = 0; y < H; ++y) {
    for (let x = 0; x < W; ++x) {
      const o = 3 * (y * W + x)
      const d = Math.hypot(x - 320, y - 240)
      bytes[o] = (x * 255) / (W - 1)
      bytes[o + 1] = d < 150 ? 255 - d : (y * 255) / (H - 1)
      bytes[o + 2] = (x ^ y) & 255
    }
  }
  return bytes
}

// Windows-1252 text as the archive holds it.
const cp = (text) => Buffer.from(text, 'latin1')
const COLOURS = '\x40\xa0\xf0\xff\xff\x40' // normal B G R, hover B G R
const articleLink = (n, line, text) => `\x9f[${n}][${line}]` + COLOURS + text + '\x9f'
const musicLink = (file, text) => `\xa8${file}"` + COLOURS + text + '\xa8'
const colour = (r, g, b) => '\xa2' + String.fromCharCode(r, g, b)

function archive() {
  const contents = [
    colour(255, 200, 80) + 'The Foreign Issue ' + colour(255, 255, 255) + '- made by a test, not by us',
    '',
    'Nothing here comes from the demo magazine: pictures, font and music are new.',
    articleLink(2, 0, 'A second article, from its first line'),
    '',
    articleLink(3, 10, 'A long third article, from its line 10'),
    '',
    musicLink('other.mod', 'Another tune, please'),
    '',
    'Caf\xe9, M\xfcnze, 5 \x80 and other Windows-1252 letters.',
  ].join('\n')
  const second = [' Second article', 'Nobody here', '', '']
  for (let i = 0; i < 40; ++i) {
    second.push((i % 4 === 0 ? colour(120 + i * 3, 255 - i * 4, 90) : '') + `Line ${i} of the second article: ` +
      'x'.repeat(i % 30))
  }
  const third = [' Third article', 'Also nobody', '', '']
  for (let i = 0; i < 70; ++i) {
    third.push(i % 9 === 4 ? articleLink(1, 0, 'Back to the contents') : `Third, line ${i}, ` + '#'.repeat(i % 40))
  }
  const records = ['d\n' + contents, second.join('\n'), third.join('\n')]
  return cp(records.join('\x9e'))
}

// The magazine in dir; depthByte is orbex.cfg's second byte (2: 24 bits
// only, 3: 16 bits only).
export function writeForeignMagazine(dir, depthByte) {
  const data = path.join(dir, 'data')
  fs.mkdirSync(data, { recursive: true })
  fs.writeFileSync(path.join(data, 'orbex.dat'), archive())
  fs.writeFileSync(path.join(data, 'chars.168'), font())
  fs.writeFileSync(path.join(data, 'begin.raw'), startPicture())
  const background = palette((i) => [i >> 2, (i * 3) >> 3, 40 + (i >> 1)])
  fs.writeFileSync(path.join(data, 'BG_8b.pcx'), pcx(W, H, background, (x, y) => {
    if (y >= 180 && y <= 196) return 4
    if (y >= 206 && y <= 461 && x >= 8 && x <= 623) return ((x >> 6) + (y >> 5)) & 31
    return (((x >> 4) ^ (y >> 4)) * 5 + (x >> 7)) & 255
  }))
  const end = palette((i) => [255 - i, i, (i * 7) & 255])
  fs.writeFileSync(path.join(data, 'ende.pcx'), pcx(400, 300, end, (x, y) => ((x >> 3) + (y >> 2)) & 255))
  const pointer = palette((i) => (i === 0 ? [0, 0, 0] : i === 1 ? [255, 255, 255] : [230, 40, 40]))
  fs.writeFileSync(path.join(data, 'cursor.pcx'), pcx(32, 32, pointer, (x, y) => {
    if (x > y || y > 24 || x > 16) return 0
    return x === 0 || x === y || y === 24 ? 1 : 2
  }))
  fs.writeFileSync(path.join(dir, 'extreme2.xm'), makeModule())
  fs.writeFileSync(path.join(dir, 'other.mod'), makeModule([214, 190, 170, 160]))
  fs.writeFileSync(path.join(dir, 'orbex.cfg'), Buffer.from([1, depthByte, 1]))
}

// The walk through it, with the virtual clock step:20. Clicks are pressed
// away from the frames that close a frame-rate window (1 + 51 n).
export const FOREIGN_SCRIPT = `# frames 2-4: the start picture
frames 3
shot intro.png
# frames 5-324: the start picture ends, the contents page
frames 320
shot contents.png
# the pointer over the link to article 2, which opens
move 40 262
frames 6
shot hover.png
ldown
frames 3
lup
frames 2
shot second.png
# scrolled by keys and at the bottom edge
key Down
key PageDown
move 300 470
frames 10
shot scrolled.png
# back to the contents; the music link, then the long article at line 10
rdown
move 40 326
frames 6
ldown
frames 3
lup
frames 2
move 40 294
frames 3
ldown
frames 3
lup
frames 2
shot third.png
# frame rate, the last page, saved, the pointer off
key F9
key End
key F2
key F5
frames 3
shot last.png
# the end picture while the music fades; the end
key F12
frames 20
shot outro.png
frames 110
`
