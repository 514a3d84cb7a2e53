// Shots are RGB PNGs written here, not exported from a canvas: canvas export
// gives RGBA, and some browsers blur canvas read-back against fingerprinting.
import { SCREEN_HEIGHT as HEIGHT, SCREEN_WIDTH as WIDTH } from './constants.mjs'
import { crc32 } from './crc32.mjs'

function pngChunk(type, data) {
  const out = new Uint8Array(12 + data.length)
  const view = new DataView(out.buffer)
  view.setUint32(0, data.length)
  for (let i = 0; i < 4; ++i) out[4 + i] = type.charCodeAt(i)
  out.set(data, 8)
  view.setUint32(8 + data.length, crc32(out.subarray(4, 8 + data.length)))
  return out
}

// The RGBA words as PNG rows: a filter byte 0, then R, G, B per pixel.
function rgbaToRows(pixels, width, height) {
  const raw = new Uint8Array(height * (1 + width * 3))
  for (let y = 0, o = 0, i = 0; y < height; ++y) {
    raw[o++] = 0
    for (let x = 0; x < width; ++x, ++i) {
      const p = pixels[i]
      raw[o++] = p & 0xff
      raw[o++] = (p >>> 8) & 0xff
      raw[o++] = (p >>> 16) & 0xff
    }
  }
  return raw
}

// zlib data: compressed where the browser can, else stored blocks.
async function zlib(raw) {
  if (typeof CompressionStream !== 'undefined') {
    const stream = new Blob([raw]).stream().pipeThrough(new CompressionStream('deflate'))
    return new Uint8Array(await new Response(stream).arrayBuffer())
  }
  const blocks = Math.max(1, Math.ceil(raw.length / 65535))
  const out = new Uint8Array(2 + raw.length + 5 * blocks + 4)
  out[0] = 0x78
  out[1] = 0x01
  let o = 2
  for (let b = 0; b < blocks; ++b) {
    const part = raw.subarray(b * 65535, Math.min(raw.length, (b + 1) * 65535))
    out[o++] = b === blocks - 1 ? 1 : 0
    out[o++] = part.length & 0xff
    out[o++] = part.length >>> 8
    out[o++] = ~part.length & 0xff
    out[o++] = (~part.length >>> 8) & 0xff
    out.set(part, o)
    o += part.length
  }
  let a = 1
  let b2 = 0
  for (let i = 0; i < raw.length; ++i) {
    a = (a + raw[i]) % 65521
    b2 = (b2 + a) % 65521
  }
  new DataView(out.buffer).setUint32(o, ((b2 << 16) | a) >>> 0)
  return out
}

// RGBA words (a frame's, by default) as an RGB PNG file.
export async function encodePng(pixels, width = WIDTH, height = HEIGHT) {
  const header = new Uint8Array(13)
  const view = new DataView(header.buffer)
  view.setUint32(0, width)
  view.setUint32(4, height)
  header[8] = 8 // bits per channel
  header[9] = 2 // RGB
  const parts = [
    Uint8Array.of(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a),
    pngChunk('IHDR', header),
    pngChunk('IDAT', await zlib(rgbaToRows(pixels, width, height))),
    pngChunk('IEND', new Uint8Array(0)),
  ]
  return new Blob(parts, { type: 'image/png' })
}

export async function dataUrl(blob) {
  const bytes = new Uint8Array(await blob.arrayBuffer())
  let text = ''
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000))
  return 'data:image/png;base64,' + btoa(text)
}
