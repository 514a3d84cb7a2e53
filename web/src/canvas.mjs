// The frame: the program's RGBA rows (converted in the program, where
// WebAssembly's SIMD does it, common/frameview.h) put on the 640×480 canvas
// as they are, and the pointer's place in frame pixels.
import { SCREEN_HEIGHT as HEIGHT, SCREEN_WIDTH as WIDTH } from './constants.mjs'

export class Canvas {
  constructor(element) {
    this.element = element
    this.context2d = element.getContext('2d', { alpha: false })
    this.uploads = 0
    this.watchScale()
  }

  // Rows first to last of the frame at ptr (width × height RGBA in the
  // program's memory) are new; the others are as shown (the program
  // compares each frame with the one before it, which costs far less than
  // putting rows on a canvas). False when nothing was put on the canvas.
  present(heap, ptr, width, height, first, last) {
    first = Math.max(0, first)
    last = Math.min(height - 1, last)
    if (first > last) return false
    const image = new ImageData(new Uint8ClampedArray(heap.buffer, ptr, width * height * 4), width, height)
    this.context2d.putImageData(image, 0, 0, 0, first, width, last - first + 1)
    ++this.uploads
    return true
  }

  // The frame as the canvas shows it, RGBA words (Print Screen, tests).
  get pixels() {
    return new Uint32Array(this.context2d.getImageData(0, 0, WIDTH, HEIGHT).data.buffer)
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
