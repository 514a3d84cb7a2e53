// The frame: the program's pixels converted into RGBA words, shown on the
// 640×480 canvas, and the pointer's place in frame pixels.

export const WIDTH = 640
export const HEIGHT = 480

// A 16-bit channel widened to 8 bits with rounding, exactly as the desktop's
// frameToRgb does, so shots of both builds compare pixel for pixel.
function expandChannel(word, mask) {
  if (mask === 0) return 0
  const shift = 31 - Math.clz32(mask & -mask)
  const max = mask >>> shift
  const value = (word & mask) >>> shift
  return Math.floor((value * 255 + Math.floor(max / 2)) / max)
}

const palettes = new Map()

// Every 16-bit word as an RGBA pixel (little-endian Uint32) for these masks.
function palette16(red, green, blue) {
  const key = `${red},${green},${blue}`
  let table = palettes.get(key)
  if (!table) {
    table = new Uint32Array(65536)
    for (let word = 0; word < 65536; ++word) {
      table[word] = (expandChannel(word, red) | (expandChannel(word, green) << 8) |
        (expandChannel(word, blue) << 16) | 0xff000000) >>> 0
    }
    palettes.set(key, table)
  }
  return table
}

// Rows first to last (inclusive) of the frame at ptr into out, RGBA words;
// unknown depths give black.
export function frameToRgba(heap, ptr, pitch, depth, red, green, blue, out, first = 0, last = HEIGHT - 1) {
  if (depth === 16) {
    const table = palette16(red, green, blue)
    for (let y = first, i = first * WIDTH; y <= last; ++y) {
      let p = ptr + y * pitch
      for (let x = 0; x < WIDTH; ++x, ++i, p += 2) out[i] = table[heap[p] | (heap[p + 1] << 8)]
    }
  } else if (depth === 24) {
    for (let y = first, i = first * WIDTH; y <= last; ++y) {
      let p = ptr + y * pitch
      for (let x = 0; x < WIDTH; ++x, ++i, p += 3) {
        out[i] = (heap[p + 2] | (heap[p + 1] << 8) | (heap[p] << 16) | 0xff000000) >>> 0
      }
    }
  } else {
    out.fill(0xff000000, first * WIDTH, (last + 1) * WIDTH)
  }
}

export class Canvas {
  constructor(element) {
    this.element = element
    this.context2d = element.getContext('2d', { alpha: false })
    this.image = this.context2d.createImageData(WIDTH, HEIGHT)
    this.pixels = new Uint32Array(this.image.data.buffer) // the frame last shown
    this.layout = null // depth, pitch and masks of the frame last shown
    this.uploads = 0
    this.watchScale()
  }

  // Rows first to last of the frame are new (the program compares each
  // frame with the one shown before it, which costs far less than putting
  // rows on the canvas); the others are as shown. A frame of another layout
  // is converted whole. False when nothing was put on the canvas.
  present(heap, ptr, pitch, depth, red, green, blue, first = 0, last = HEIGHT - 1) {
    const layout = `${depth},${pitch},${red},${green},${blue}`
    if (layout !== this.layout) {
      this.layout = layout
      first = 0
      last = HEIGHT - 1
    }
    first = Math.max(0, first)
    last = Math.min(HEIGHT - 1, last)
    if (first > last) return false
    frameToRgba(heap, ptr, pitch, depth, red, green, blue, this.pixels, first, last)
    this.context2d.putImageData(this.image, 0, 0, 0, first, WIDTH, last - first + 1)
    ++this.uploads
    return true
  }

  showCursor(visible) {
    this.element.style.cursor = visible ? '' : 'none'
  }

  // Sharp (each frame pixel a block of device pixels) while the frame is
  // shown at least as large as it is; smooth when it must shrink, where
  // dropped rows would tear letters apart.
  watchScale() {
    if (typeof ResizeObserver === 'undefined') return
    // Device pixels as the box reports them, or as the ratio gives them
    // (where the box size is not scaled, as in Chromium's device emulation).
    const observer = new ResizeObserver(([entry]) => {
      const device = Math.max(entry.devicePixelContentBoxSize?.[0]?.inlineSize ?? 0,
        entry.contentRect.width * (globalThis.devicePixelRatio || 1))
      this.element.classList.toggle('shrunk', Math.round(device) < WIDTH)
    })
    try {
      observer.observe(this.element, { box: 'device-pixel-content-box' })
    } catch {
      observer.observe(this.element)
    }
  }

  // Where a pointer event is on the frame, clamped to its pixels.
  framePoint(event) {
    const rect = this.element.getBoundingClientRect()
    const x = Math.floor((event.clientX - rect.left) * WIDTH / rect.width)
    const y = Math.floor((event.clientY - rect.top) * HEIGHT / rect.height)
    return { x: Math.max(0, Math.min(WIDTH - 1, x)), y: Math.max(0, Math.min(HEIGHT - 1, y)) }
  }

  // The height of a frame pixel on the page, in CSS pixels.
  cssPerPixel() {
    return this.element.getBoundingClientRect().height / HEIGHT || 1
  }
}
