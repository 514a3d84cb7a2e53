// Page glue of the browser build: copies the magazine into the program's file
// system, starts the program (orbex-program.js, built by emcc with
// library_orbex.js) and gives it what orbex_web.h promises: the canvas, the
// input queue, dialogs, downloads, shots and the sound over chiptune3.
// window.orbex is this page's state, for tests and for the curious.

const WIDTH = 640
const HEIGHT = 480
const FOLDER = '/magazine'
const SCRIPT_PATH = '/orbex/script.txt'

const WM_ACTIVATEAPP = 0x001c
const WM_SETCURSOR = 0x0020
const WM_KEYDOWN = 0x0100
const WM_LBUTTONDOWN = 0x0201
const WM_LBUTTONUP = 0x0202
const WM_RBUTTONDOWN = 0x0204
// WM_SETCURSOR's lParam for pointer motion over the client area.
const SETCURSOR_MOVE = (0x0200 << 16) | 1
// Off the frame on the right and on the middle row: the viewer draws no
// pointer there, no link is under it and the page does not scroll.
const AWAY = Object.freeze({ x: WIDTH, y: HEIGHT / 2 })

const params = new URLSearchParams(location.search)
const programTag = document.querySelector('script[data-program]')
const options = {
  magazine: new URL(withSlash(params.get('magazine') || 'magazine/'), location.href).href,
  args: params.get('args') || '',
  script: params.get('script'),
  clock: params.get('clock'),
  program: new URL(programTag?.dataset.program || 'orbex-program.js', location.href).href,
}
// A scripted run nobody watches: boxes confirm themselves.
const automated = options.script !== null
// With a virtual clock the frames need not wait for the display.
const unpaced = /^step:/.test(options.clock || '')

function withSlash(url) {
  return url.endsWith('/') ? url : url + '/'
}

const elements = {
  screen: document.getElementById('orbex-screen'),
  canvas: document.getElementById('orbex-canvas'),
  status: document.getElementById('orbex-status'),
  hint: document.getElementById('orbex-sound-hint'),
  fullscreen: document.getElementById('orbex-fullscreen'),
  box: document.getElementById('orbex-box'),
  boxCaption: document.getElementById('orbex-box-caption'),
  boxText: document.getElementById('orbex-box-text'),
}

// ---------------------------------------------------------------- text

const decoder1252 = new TextDecoder('windows-1252')
// The five bytes Windows-1252 leaves undefined, shown as the desktop shows them.
const HOLES_1252 = /[\u0081\u008d\u008f\u0090\u009d]/g

function decode1252(bytes) {
  return decoder1252.decode(bytes).replace(HOLES_1252, '\ufffd')
}

// ---------------------------------------------------------------- pixels

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

// The frame at ptr into out, RGBA words; unknown depths give black.
function frameToRgba(heap, ptr, pitch, depth, red, green, blue, out) {
  if (depth === 16) {
    const table = palette16(red, green, blue)
    for (let y = 0, i = 0; y < HEIGHT; ++y) {
      let p = ptr + y * pitch
      for (let x = 0; x < WIDTH; ++x, ++i, p += 2) out[i] = table[heap[p] | (heap[p + 1] << 8)]
    }
  } else if (depth === 24) {
    for (let y = 0, i = 0; y < HEIGHT; ++y) {
      let p = ptr + y * pitch
      for (let x = 0; x < WIDTH; ++x, ++i, p += 3) {
        out[i] = (heap[p + 2] | (heap[p + 1] << 8) | (heap[p] << 16) | 0xff000000) >>> 0
      }
    }
  } else {
    out.fill(0xff000000)
  }
}

// ---------------------------------------------------------------- PNG

// Shots are RGB PNGs written here, not exported from a canvas: canvas export
// gives RGBA, and some browsers blur canvas read-back against fingerprinting.
const CRC_TABLE = (() => {
  const table = new Uint32Array(256)
  for (let n = 0; n < 256; ++n) {
    let c = n
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1
    table[n] = c >>> 0
  }
  return table
})()

function crc32(bytes) {
  let c = 0xffffffff
  for (let i = 0; i < bytes.length; ++i) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8)
  return (c ^ 0xffffffff) >>> 0
}

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
function rgbaToRows(pixels) {
  const raw = new Uint8Array(HEIGHT * (1 + WIDTH * 3))
  for (let y = 0, o = 0, i = 0; y < HEIGHT; ++y) {
    raw[o++] = 0
    for (let x = 0; x < WIDTH; ++x, ++i) {
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

async function encodePng(rows) {
  const header = new Uint8Array(13)
  const view = new DataView(header.buffer)
  view.setUint32(0, WIDTH)
  view.setUint32(4, HEIGHT)
  header[8] = 8 // bits per channel
  header[9] = 2 // RGB
  const parts = [
    Uint8Array.of(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a),
    pngChunk('IHDR', header),
    pngChunk('IDAT', await zlib(rows)),
    pngChunk('IEND', new Uint8Array(0)),
  ]
  return new Blob(parts, { type: 'image/png' })
}

async function dataUrl(blob) {
  const bytes = new Uint8Array(await blob.arrayBuffer())
  let text = ''
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000))
  return 'data:image/png;base64,' + btoa(text)
}

// ---------------------------------------------------------------- sound

// The BASS_* operations over chiptune3 (libopenmpt in an AudioWorklet). One
// module lives in the worklet at a time; the page keeps the bytes of every
// loaded one so a handle can be played again.
class Sound {
  constructor() {
    this.context = null
    this.output = null // volume; a test may hang an AnalyserNode on it
    this.player = null
    this.ready = null
    this.rate = 0
    this.modules = new Map()
    this.nextHandle = 1
    this.inWorklet = 0 // the handle whose module the worklet holds
    this.playing = 0
    this.started = false
    this.level = 100
    this.answers = []
    this.position = 0
    this.library = import(new URL('chiptune3/chiptune3.js', import.meta.url).href)
    this.library.catch((e) => console.error('orbex: cannot load chiptune3:', e))
  }

  init(rate) {
    if (typeof AudioContext === 'undefined') return false
    if (this.context && this.rate === rate) return true
    this.close()
    let context
    try {
      context = new AudioContext({ sampleRate: rate, latencyHint: 'playback' })
    } catch {
      try {
        context = new AudioContext({ latencyHint: 'playback' })
      } catch {
        return false
      }
    }
    this.context = context
    this.rate = rate
    this.heard = context.state === 'running'
    this.output = context.createGain()
    this.output.gain.value = this.level / 100
    this.output.connect(context.destination)
    context.onstatechange = () => this.stateChanged(context)
    this.ready = this.library.then(({ ChiptuneJsPlayer }) => new Promise((resolve) => {
      const player = new ChiptuneJsPlayer({ context, repeatCount: -1 })
      player.gain.connect(this.output)
      // Until then chiptune3 drops what it is told.
      player.onInitialized(() => {
        if (context === this.context) this.player = player
        resolve(player)
      })
      player.onMetadata((meta) => this.answer(meta))
      // 'ptr': libopenmpt refused the bytes; other errors say nothing of loading.
      player.onError((e) => { if (e && e.type === 'ptr') this.answer(null) })
      player.onProgress((p) => { this.position = p.pos })
    }))
    window.dispatchEvent(new CustomEvent('orbex-sound', { detail: this }))
    this.showHint()
    return true
  }

  start() {
    this.started = true
    if (this.context && this.context.state === 'suspended') this.context.resume().catch(() => {})
    if (this.playing && this.inWorklet === this.playing) this.withPlayer((p) => p.unpause())
    this.showHint()
  }

  // Now, or once the worklet is ready, in the order asked.
  withPlayer(fn) {
    if (this.player) {
      fn(this.player)
    } else if (this.ready) {
      const context = this.context
      this.ready.then((player) => { if (context === this.context) fn(player) })
    }
  }

  async load(bytes) {
    if (!this.context || !bytes || bytes.length === 0) return 0
    const context = this.context
    const player = await within(this.ready, 20000)
    if (!player || context !== this.context) return 0
    let resolveAnswer
    const answer = new Promise((resolve) => { resolveAnswer = resolve })
    this.answers.push(resolveAnswer)
    // chiptune3 has no load without play: play and pause at once, so the
    // module is parsed now (the worklet answers even before any gesture).
    player.play(bytes.buffer)
    player.pause()
    this.inWorklet = 0
    this.playing = 0
    let meta = await within(answer, 5000, 'late')
    if (meta === 'late') {
      // A worklet that does not answer while suspended: take the module on trust.
      const at = this.answers.indexOf(resolveAnswer)
      if (at >= 0) this.answers.splice(at, 1)
      console.warn('orbex: no answer from the music worklet; module taken unchecked')
      meta = { dur: 0 }
    }
    if (!meta) return 0
    const handle = this.nextHandle++
    this.modules.set(handle, { bytes, duration: meta.dur || 0, since: 0 })
    this.inWorklet = handle
    return handle
  }

  answer(meta) {
    const resolve = this.answers.shift()
    if (resolve) resolve(meta)
  }

  play(handle) {
    const module = this.modules.get(handle)
    if (!module || !this.context) return false
    if (this.inWorklet !== handle) {
      const started = this.started
      this.withPlayer((p) => {
        p.play(module.bytes.buffer)
        if (!started) p.pause()
      })
      this.inWorklet = handle
      module.since = 0
    } else if (this.started) {
      this.withPlayer((p) => p.unpause())
    }
    if (!module.since) module.since = performance.now()
    this.playing = handle
    this.showHint()
    return true
  }

  volume(level) {
    this.level = Math.max(0, Math.min(100, level | 0))
    if (this.output) this.output.gain.value = this.level / 100
  }

  stop() {
    this.started = false
    this.withPlayer((p) => p.pause())
    this.showHint()
  }

  free(handle) {
    if (!this.modules.delete(handle)) return
    if (this.inWorklet === handle) {
      this.withPlayer((p) => p.stop())
      this.inWorklet = 0
    }
    if (this.playing === handle) this.playing = 0
    this.showHint()
  }

  // The first click or key lets the browser play.
  gesture() {
    if (this.context && this.context.state === 'suspended') this.context.resume().catch(() => {})
  }

  stateChanged(context) {
    if (context !== this.context) return
    if (context.state === 'running' && !this.heard) {
      this.heard = true
      // Nothing was rendered while the browser held the sound back: go on
      // from where the music would be by now.
      const module = this.modules.get(this.playing)
      if (module && module.since && module.duration > 0 && this.started) {
        const seconds = (performance.now() - module.since) / 1000
        this.withPlayer((p) => p.setPos(seconds % module.duration))
      }
    }
    this.showHint()
  }

  showHint() {
    const waiting = this.context !== null && this.context.state !== 'running' &&
      this.started && this.playing !== 0
    elements.hint.hidden = !waiting
  }

  close() {
    if (this.context) this.context.close().catch(() => {})
    this.context = null
    this.output = null
    this.player = null
    this.ready = null
    this.inWorklet = 0
    this.playing = 0
    for (const resolve of this.answers.splice(0)) resolve(null)
  }
}

// The promise's value, or late when it takes longer than ms.
function within(promise, ms, late = null) {
  return Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve(late), ms))])
}

// ---------------------------------------------------------------- input

// Windows virtual-key codes by physical key. The keypad gives its digits
// whatever Num Lock says; F10 and Alt combinations are system keys on
// Windows and never reach the viewer.
const VK = {
  Backspace: 0x08, Tab: 0x09, Enter: 0x0d, NumpadEnter: 0x0d, Escape: 0x1b, Space: 0x20,
  PageUp: 0x21, PageDown: 0x22, End: 0x23, Home: 0x24,
  ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28,
  Insert: 0x2d, Delete: 0x2e, Pause: 0x13, CapsLock: 0x14, NumLock: 0x90, ScrollLock: 0x91,
  ShiftLeft: 0x10, ShiftRight: 0x10, ControlLeft: 0x11, ControlRight: 0x11,
  NumpadMultiply: 0x6a, NumpadAdd: 0x6b, NumpadSubtract: 0x6d, NumpadDecimal: 0x6e, NumpadDivide: 0x6f,
}
for (let i = 0; i < 26; ++i) VK['Key' + String.fromCharCode(65 + i)] = 65 + i
for (let i = 0; i < 10; ++i) {
  VK['Digit' + i] = 0x30 + i
  VK['Numpad' + i] = 0x60 + i
}
for (let i = 1; i <= 12; ++i) if (i !== 10) VK['F' + i] = 0x6f + i

// Letters the viewer ignores stand in for keys a browser or keyboard may
// keep (F-keys on laptops, F5 and F12 in some browsers, the keypad).
const STAND_INS = {
  KeyH: 0x70, KeyS: 0x71, KeyP: 0x74, KeyF: 0x78, KeyQ: 0x7b,
  KeyI: 0x68, KeyJ: 0x64, KeyK: 0x62, KeyL: 0x66,
}
// Posted, but the browser keeps its own use of them.
const BROWSER_KEEPS = new Set(['Tab', 'Escape', 'F11'])

class Input {
  constructor() {
    this.queue = [] // [message, wParam, lParam] or LEAVE
    this.waiters = []
    this.cursor = { ...AWAY }
    this.presents = 0
    this.heldSince = -1 // presents when the last left press was taken
  }

  post(message, wParam, lParam) {
    this.queue.push([message, wParam, lParam])
    this.wake()
  }

  wake() {
    if (!this.ready()) return
    for (const resolve of this.waiters.splice(0)) resolve()
  }

  // The tap rule: a left release waits until a frame has been shown since
  // its press, or a quick tap would never be seen pressed.
  held() {
    const head = this.queue[0]
    return head !== undefined && head[0] === WM_LBUTTONUP && this.heldSince >= 0 &&
      this.presents <= this.heldSince
  }

  ready() {
    return this.queue.length > 0 && !this.held()
  }

  poll() {
    if (!this.ready()) return null
    const event = this.queue.shift()
    if (event === LEAVE) {
      this.cursor = { ...AWAY }
      return [WM_SETCURSOR, 0, SETCURSOR_MOVE]
    }
    if (event[0] === WM_LBUTTONDOWN) this.heldSince = this.presents
    if (event[0] === WM_LBUTTONUP) this.heldSince = -1
    return event
  }

  next() {
    // A program that waits draws no frame: a held release goes now.
    if (this.held()) this.heldSince = -1
    if (this.ready()) return Promise.resolve()
    return new Promise((resolve) => this.waiters.push(resolve))
  }

  presented() {
    ++this.presents
    this.wake()
  }

  // Once the pointer is back, an older leave no longer holds.
  moveTo(x, y) {
    this.cursor = { x, y }
    const at = this.queue.indexOf(LEAVE)
    if (at >= 0) this.queue.splice(at, 1)
  }

  // Queued, not applied: a tap's release and the frame after it must still
  // see the pointer where the finger was.
  leave() {
    if (!this.queue.includes(LEAVE)) this.queue.push(LEAVE)
    this.wake()
  }

  moved() {
    if (!this.queue.some((e) => e !== LEAVE && e[0] === WM_SETCURSOR)) this.post(WM_SETCURSOR, 0, SETCURSOR_MOVE)
  }
}
const LEAVE = 'leave'

// ---------------------------------------------------------------- the page

class Page {
  constructor() {
    this.options = options
    this.automated = automated
    this.input = new Input()
    this.sound = new Sound()
    this.context2d = elements.canvas.getContext('2d', { alpha: false })
    this.image = this.context2d.createImageData(WIDTH, HEIGHT)
    this.pixels = new Uint32Array(this.image.data.buffer)
    this.stats = { firstFrameMs: null, presents: 0, filesMs: null, files: 0, missing: [], workletMs: null }
    this.shots = {}
    this.pendingShots = []
    this.downloads = []
    this.shotNumber = 0
    this.finished = false
    this.channel = new MessageChannel()
    this.turns = []
    this.channel.port1.onmessage = () => this.turns.shift()?.()
    this.visibleWaiters = []
    this.cfgKey = 'orbex5:cfg:' + options.magazine
    this.logShown = 0 // bytes of orbex.log already echoed to the console
  }

  get cursor() {
    return this.input.cursor
  }

  decode1252(bytes) {
    return decode1252(bytes)
  }

  // ---- display

  present(heap, ptr, pitch, depth, red, green, blue) {
    frameToRgba(heap, ptr, pitch, depth, red, green, blue, this.pixels)
    this.context2d.putImageData(this.image, 0, 0)
    if (this.stats.firstFrameMs === null) {
      this.stats.firstFrameMs = performance.now()
      elements.status.textContent = ''
    }
    ++this.stats.presents
    this.input.presented()
  }

  nextFrame() {
    if (unpaced) return new Promise((resolve) => {
      this.turns.push(resolve)
      this.channel.port2.postMessage(0)
    })
    return this.whenVisible().then(() => new Promise((resolve) => requestAnimationFrame(() => resolve())))
  }

  whenVisible() {
    if (!document.hidden) return Promise.resolve()
    return new Promise((resolve) => this.visibleWaiters.push(resolve))
  }

  showCursor(visible) {
    elements.canvas.style.cursor = visible ? '' : 'none'
  }

  // ---- input

  pollEvent() {
    return this.input.poll()
  }

  nextEvent() {
    return this.input.next()
  }

  framePoint(event) {
    const rect = elements.canvas.getBoundingClientRect()
    const x = Math.floor((event.clientX - rect.left) * WIDTH / rect.width)
    const y = Math.floor((event.clientY - rect.top) * HEIGHT / rect.height)
    return { x: Math.max(0, Math.min(WIDTH - 1, x)), y: Math.max(0, Math.min(HEIGHT - 1, y)) }
  }

  pointerParam() {
    return ((this.input.cursor.y << 16) | this.input.cursor.x) >>> 0
  }

  listen() {
    const canvas = elements.canvas
    canvas.addEventListener('pointermove', (e) => {
      const p = this.framePoint(e)
      this.input.moveTo(p.x, p.y)
      this.input.moved()
    })
    canvas.addEventListener('pointerdown', (e) => {
      const p = this.framePoint(e)
      this.input.moveTo(p.x, p.y)
      canvas.focus({ preventScroll: true })
      if (e.button === 0) {
        this.leftDown = true
        // Kept: a release off the canvas still comes here.
        try {
          canvas.setPointerCapture(e.pointerId)
        } catch {
          // A pointer the browser no longer knows.
        }
        this.input.post(WM_LBUTTONDOWN, 1, this.pointerParam())
      } else if (e.button === 2) {
        this.input.post(WM_RBUTTONDOWN, 2, this.pointerParam())
      }
      e.preventDefault()
    })
    const release = (e) => {
      if (e.button !== 0) return
      this.leftDown = false
      const p = this.framePoint(e)
      this.input.moveTo(p.x, p.y)
      this.input.post(WM_LBUTTONUP, 0, this.pointerParam())
    }
    canvas.addEventListener('pointerup', release)
    canvas.addEventListener('pointercancel', () => {
      if (this.leftDown) this.input.post(WM_LBUTTONUP, 0, this.pointerParam())
      this.leftDown = false
      this.input.leave()
    })
    canvas.addEventListener('pointerleave', () => this.input.leave())
    canvas.addEventListener('contextmenu', (e) => e.preventDefault())

    window.addEventListener('keydown', (e) => this.keyDown(e))
    window.addEventListener('keyup', (e) => {
      // Some systems send Print Screen only as a release.
      if (e.code === 'PrintScreen' && !this.printDown) this.printScreen()
      if (e.code === 'PrintScreen') this.printDown = false
    })
    for (const type of ['pointerdown', 'pointerup', 'keydown', 'click', 'touchend']) {
      window.addEventListener(type, () => this.sound.gesture(), true)
    }
    document.addEventListener('visibilitychange', () => {
      this.input.post(WM_ACTIVATEAPP, document.hidden ? 0 : 1, 0)
      if (!document.hidden) for (const resolve of this.visibleWaiters.splice(0)) resolve()
    })
    elements.fullscreen.addEventListener('click', () => this.toggleFullscreen())
  }

  // Alt+Enter and Print Screen are the page's, and work after the end too.
  keyDown(e) {
    if (elements.box.open || e.ctrlKey || e.metaKey) return
    if (e.altKey) {
      if (e.code === 'Enter' || e.code === 'NumpadEnter') {
        e.preventDefault()
        if (!e.repeat) this.toggleFullscreen()
      }
      return
    }
    if (e.code === 'PrintScreen' || e.code === 'KeyC') {
      e.preventDefault()
      if (e.code === 'PrintScreen') this.printDown = true
      if (!e.repeat && this.stats.presents > 0) this.printScreen()
      return
    }
    if (this.finished) return
    const code = STAND_INS[e.code] ?? VK[e.code]
    if (code === undefined) return
    if (!BROWSER_KEEPS.has(e.code)) e.preventDefault()
    // Repeat count 1; bit 30 marks an auto-repeat, as on Windows.
    this.input.post(WM_KEYDOWN, code, e.repeat ? (1 | (1 << 30)) >>> 0 : 1)
  }

  toggleFullscreen() {
    if (document.fullscreenElement) {
      document.exitFullscreen().catch(() => {})
    } else if (elements.screen.requestFullscreen) {
      elements.screen.requestFullscreen().catch((e) => console.warn('orbex: no full screen:', e.message))
    }
  }

  // The frame last shown, as the desktop's Print Screen saves it.
  printScreen() {
    const name = `orbex-shot-${String(++this.shotNumber).padStart(4, '0')}.png`
    encodePng(rgbaToRows(this.pixels)).then((blob) => this.offer(name, blob))
  }

  // ---- page services

  messageBox(text, caption) {
    const title = caption || 'ORBEX 5'
    if (this.automated) {
      console.log(`${title}: ${text}`)
      return Promise.resolve()
    }
    elements.boxCaption.textContent = title
    elements.boxText.textContent = text
    return new Promise((resolve) => {
      elements.box.addEventListener('close', () => {
        elements.canvas.focus({ preventScroll: true })
        resolve()
      }, { once: true })
      elements.box.showModal()
    })
  }

  log(line) {
    console.log(line.replace(/\r?\n$/, ''))
  }

  download(name, bytes) {
    this.offer(name, new Blob([bytes]))
  }

  offer(name, blob) {
    this.downloads.push({ name, size: blob.size })
    const url = URL.createObjectURL(blob)
    const a = document.createElement('a')
    a.href = url
    a.download = name
    document.body.append(a)
    a.click()
    a.remove()
    setTimeout(() => URL.revokeObjectURL(url), 60000)
  }

  // Converted now, while the frame is as the program left it; encoded on the
  // side, and waited for before the result is written.
  shot(name, heap, ptr, pitch, depth, red, green, blue) {
    const pixels = new Uint32Array(WIDTH * HEIGHT)
    frameToRgba(heap, ptr, pitch, depth, red, green, blue, pixels)
    const done = encodePng(rgbaToRows(pixels)).then(dataUrl).then((url) => { this.shots[name] = url })
    this.pendingShots.push(done)
  }

  // ---- files

  async fetchFiles() {
    const started = performance.now()
    const files = new Map()
    let list = ''
    try {
      const early = window.orbexFileList
      const url = options.magazine + 'files.txt'
      const response = await (early?.url === url ? early.response : fetch(url, { cache: 'no-cache' }))
      if (response.ok) list = await response.text()
      else console.warn(`orbex: no files.txt in ${options.magazine} (${response.status})`)
    } catch (e) {
      console.warn(`orbex: cannot read ${options.magazine}files.txt: ${e.message}`)
    }
    const names = [...new Set(list.split(/\r?\n/).map((s) => s.trim()).filter(usablePath))]
    let next = 0
    const worker = async () => {
      while (next < names.length) {
        const name = names[next++]
        try {
          const response = await fetch(options.magazine + name.split('/').map(encodeURIComponent).join('/'))
          if (response.ok) files.set(name, new Uint8Array(await response.arrayBuffer()))
          else this.stats.missing.push(name)
        } catch {
          this.stats.missing.push(name)
        }
      }
    }
    await Promise.all(Array.from({ length: 6 }, worker))
    let script = null
    if (options.script !== null) {
      try {
        const response = await fetch(new URL(options.script, location.href), { cache: 'no-cache' })
        if (response.ok) script = new Uint8Array(await response.arrayBuffer())
        else console.warn(`orbex: script ${options.script}: ${response.status}`)
      } catch (e) {
        console.warn(`orbex: script ${options.script}: ${e.message}`)
      }
    }
    this.stats.filesMs = performance.now() - started
    this.stats.files = files.size
    return { files, script }
  }

  // Runs before main: the magazine in the working folder, the script, the
  // reader's saved orbex.cfg, the environment.
  installFiles(Module, { files, script }) {
    const FS = Module.FS
    FS.mkdirTree(FOLDER)
    for (const [name, bytes] of files) {
      const path = `${FOLDER}/${name}`
      FS.mkdirTree(path.slice(0, path.lastIndexOf('/')))
      FS.writeFile(path, bytes)
    }
    const saved = this.savedConfig()
    if (saved) FS.writeFile(`${FOLDER}/orbex.cfg`, saved)
    if (options.script !== null) {
      FS.mkdirTree(SCRIPT_PATH.slice(0, SCRIPT_PATH.lastIndexOf('/')))
      // A script that could not be fetched stays missing: the program refuses it.
      if (script) FS.writeFile(SCRIPT_PATH, script)
      Module.ENV.ORBEX_SCRIPT = SCRIPT_PATH
    }
    if (options.clock !== null) Module.ENV.ORBEX_CLOCK = options.clock
    Module.ENV.ORBEX_MAGAZINE = FOLDER
    FS.chdir(FOLDER)
    this.watchWrites(FS)
  }

  // The viewer writes save.txt and orbex.cfg itself; the page notices when
  // such a file is closed after writing.
  watchWrites(FS) {
    const close = FS.close
    FS.close = (stream) => {
      const written = (stream.flags & 3) !== 0 ? stream.path : null
      const result = close(stream)
      if (written) this.fileWritten(FS, written)
      return result
    }
  }

  fileWritten(FS, path) {
    if (path === `${FOLDER}/save.txt`) this.download('save.txt', FS.readFile(path))
    if (path === `${FOLDER}/orbex.cfg`) this.saveConfig(FS.readFile(path))
    if (path === `${FOLDER}/orbex.log`) this.echoLog(FS.readFile(path))
  }

  // The log (letter l) goes to the console too, entry by entry: the viewer
  // opens and closes the file for every one.
  echoLog(bytes) {
    if (bytes.length < this.logShown) this.logShown = 0
    const text = decode1252(bytes.subarray(this.logShown))
    this.logShown = bytes.length
    for (const line of text.split(/\r?\n/)) if (line !== '') console.log(line)
  }

  savedConfig() {
    try {
      const hex = localStorage.getItem(this.cfgKey)
      if (hex === null || !/^([0-9a-f]{2})*$/.test(hex)) return null
      return Uint8Array.from(hex.match(/../g) || [], (h) => parseInt(h, 16))
    } catch {
      return null
    }
  }

  saveConfig(bytes) {
    try {
      localStorage.setItem(this.cfgKey, Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join(''))
    } catch (e) {
      console.warn('orbex: cannot keep orbex.cfg:', e.message)
    }
  }

  // ---- start and end

  async start() {
    this.listen()
    if (!document.hidden) this.input.post(WM_ACTIVATEAPP, 1, 0)
    // The files first: they and the program are on the way to the first frame.
    const files = this.fetchFiles()
    const page = this
    const Module = {
      arguments: options.args ? [options.args] : [],
      orbexPage: this,
      preRun: [() => {
        Module.addRunDependency('orbex-files')
        files.then((loaded) => {
          page.installFiles(Module, loaded)
          Module.removeRunDependency('orbex-files')
        }).catch((e) => page.finish(-1, 'files: ' + e))
      }],
      print: (line) => console.log(line),
      printErr: (line) => console.warn(line),
      locateFile: (name) => new URL(name, options.program).href,
      onExit: (status) => page.finish(status),
      onAbort: (what) => page.finish(-1, String(what)),
    }
    window.Module = Module
    this.module = Module
    const tag = document.createElement('script')
    tag.src = options.program
    tag.onerror = () => this.finish(-1, 'cannot load ' + options.program)
    document.body.append(tag)
    // The usual rate, made ready while the program loads: its first module
    // load then need not wait for the worklet. The program cannot call for
    // sound before its files are in.
    if (!/n/.test(options.args) && this.sound.init(44100)) {
      this.sound.ready.then(() => { this.stats.workletMs = performance.now() })
    }
  }

  // The program ended: its log and shots go into #orbex-result.
  async finish(status, error) {
    if (this.finished) return
    this.finished = true
    this.sound.close()
    await Promise.allSettled(this.pendingShots)
    let log = ''
    try {
      log = decode1252(this.module.FS.readFile(`${FOLDER}/orbex.log`))
    } catch {
      // No log written.
    }
    const result = { log, shots: this.shots, exit: status }
    if (error !== undefined) {
      result.error = error
      console.error('orbex: ' + error)
    }
    const pre = document.createElement('pre')
    pre.id = 'orbex-result'
    pre.textContent = JSON.stringify(result)
    document.body.append(pre)
    elements.status.textContent = error !== undefined ? 'The magazine stopped: ' + error : 'The magazine has ended.'
  }
}

// Paths inside the magazine folder only.
function usablePath(name) {
  return name !== '' && !name.startsWith('#') && !name.startsWith('/') && !name.includes('\\') &&
    name.split('/').every((part) => part !== '' && part !== '.' && part !== '..')
}

const page = new Page()
window.orbex = page
page.start()
