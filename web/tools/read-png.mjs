// Reads the PNG files of the build (the icons' source) and of the tests
// (shots): 8-bit RGB or RGBA, not interlaced. Node only.
import zlib from 'node:zlib'

function paeth(a, b, c) {
  const p = a + b - c
  const pa = Math.abs(p - a)
  const pb = Math.abs(p - b)
  const pc = Math.abs(p - c)
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c
}

// An 8-bit RGB or RGBA PNG as { width, height, colourType, rgb }.
export function readPng(bytes) {
  const signature = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a])
  if (!bytes.subarray(0, 8).equals(signature)) throw new Error('not a PNG')
  let width = 0
  let height = 0
  let colourType = -1
  const idat = []
  for (let o = 8; o < bytes.length;) {
    const length = bytes.readUInt32BE(o)
    const type = bytes.toString('latin1', o + 4, o + 8)
    const data = bytes.subarray(o + 8, o + 8 + length)
    if (type === 'IHDR') {
      width = data.readUInt32BE(0)
      height = data.readUInt32BE(4)
      if (data[8] !== 8 || data[12] !== 0) throw new Error('only 8-bit, not interlaced')
      colourType = data[9]
    } else if (type === 'IDAT') {
      idat.push(data)
    }
    o += 12 + length
  }
  const channels = colourType === 2 ? 3 : colourType === 6 ? 4 : 0
  if (!channels) throw new Error('colour type ' + colourType)
  const raw = zlib.inflateSync(Buffer.concat(idat))
  const stride = width * channels
  const pixels = Buffer.alloc(height * stride)
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)]
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1))
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? pixels[y * stride + x - channels] : 0
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0
      const v = line[x]
      const add = [0, a, b, (a + b) >> 1, paeth(a, b, c)][filter]
      pixels[y * stride + x] = (v + add) & 0xff
    }
  }
  const rgb = Buffer.alloc(width * height * 3)
  for (let i = 0; i < width * height; ++i) pixels.copy(rgb, i * 3, i * channels, i * channels + 3)
  return { width, height, colourType, rgb }
}

