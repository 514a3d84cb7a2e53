// The input queue the program reads (orbex_poll_event, orbex_wait_event):
// DOM events as window messages, the pointer in frame pixels, the tap rule.
import { BROWSER_KEEPS, STAND_INS, VK, WM } from './keys.mjs'
import { HEIGHT, WIDTH } from './canvas.mjs'

// WM_SETCURSOR's lParam for pointer motion over the client area (HTCLIENT).
const SETCURSOR_MOVE = (WM.MOUSEMOVE << 16) | 1
// Repeat count 1; bit 30 marks an auto-repeat, as on Windows.
const KEY_ONCE = 1
const KEY_REPEAT = (1 | (1 << 30)) >>> 0
// Off the frame on the right and on the middle row: the viewer draws no
// pointer there, no link is under it and the page does not scroll.
const AWAY = Object.freeze({ x: WIDTH, y: HEIGHT / 2 })
const LEAVE = 'leave'

export class Input {
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
    return head !== undefined && head[0] === WM.LBUTTONUP && this.heldSince >= 0 &&
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
      return [WM.SETCURSOR, 0, SETCURSOR_MOVE]
    }
    if (event[0] === WM.LBUTTONDOWN) this.heldSince = this.presents
    if (event[0] === WM.LBUTTONUP) this.heldSince = -1
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
    if (!this.queue.some((e) => e !== LEAVE && e[0] === WM.SETCURSOR)) this.post(WM.SETCURSOR, 0, SETCURSOR_MOVE)
  }

  pointerParam() {
    return ((this.cursor.y << 16) | this.cursor.x) >>> 0
  }

  // A key of the viewer's (or its stand-in) as WM_KEYDOWN; false for a key
  // it has no code for.
  key(event) {
    const code = STAND_INS[event.code] ?? VK[event.code]
    if (code === undefined) return false
    if (!BROWSER_KEEPS.has(event.code)) event.preventDefault()
    this.post(WM.KEYDOWN, code, event.repeat ? KEY_REPEAT : KEY_ONCE)
    return true
  }

  // The canvas's pointer events as the mouse's messages; point gives an
  // event's place in frame pixels.
  listen(canvas, point) {
    let leftDown = false
    canvas.addEventListener('pointermove', (e) => {
      const p = point(e)
      this.moveTo(p.x, p.y)
      this.moved()
    })
    canvas.addEventListener('pointerdown', (e) => {
      const p = point(e)
      this.moveTo(p.x, p.y)
      canvas.focus({ preventScroll: true })
      if (e.button === 0) {
        leftDown = true
        // Kept: a release off the canvas still comes here.
        try {
          canvas.setPointerCapture(e.pointerId)
        } catch {
          // A pointer the browser no longer knows.
        }
        this.post(WM.LBUTTONDOWN, 1, this.pointerParam())
      } else if (e.button === 2) {
        this.post(WM.RBUTTONDOWN, 2, this.pointerParam())
      }
      e.preventDefault()
    })
    canvas.addEventListener('pointerup', (e) => {
      if (e.button !== 0) return
      leftDown = false
      const p = point(e)
      this.moveTo(p.x, p.y)
      this.post(WM.LBUTTONUP, 0, this.pointerParam())
    })
    canvas.addEventListener('pointercancel', () => {
      if (leftDown) this.post(WM.LBUTTONUP, 0, this.pointerParam())
      leftDown = false
      this.leave()
    })
    canvas.addEventListener('pointerleave', () => this.leave())
    canvas.addEventListener('contextmenu', (e) => e.preventDefault())
  }
}
