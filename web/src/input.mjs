// The input queue the program reads (orbex_poll_event, orbex_wait_event):
// DOM events as window messages, the pointer in frame pixels, the tap rule.
import { SCREEN_HEIGHT as HEIGHT, SCREEN_WIDTH as WIDTH } from './constants.mjs'
import { BROWSER_KEEPS, STAND_INS, VK, WM, reachesViewer } from './keys.mjs'
import { Touch } from './touch.mjs'

// WM_SETCURSOR's lParam for pointer motion over the client area (HTCLIENT).
const SETCURSOR_MOVE = (WM.MOUSEMOVE << 16) | 1
// Repeat count 1; bit 30 marks an auto-repeat, as on Windows.
const KEY_ONCE = 1
const KEY_REPEAT = (1 | (1 << 30)) >>> 0
// Off the frame on the right and on the middle row: the viewer draws no
// pointer there, no link is under it and the page does not scroll.
const AWAY = Object.freeze({ x: WIDTH, y: HEIGHT / 2 })
// PointerEvent.buttons bits, and each button's bit by PointerEvent.button.
const LEFT = 1
const RIGHT = 2
const BUTTON_BITS = [LEFT, 4, RIGHT]

const param = (x, y) => ((y << 16) | x) >>> 0

// Fingers and pens make gestures; a mouse (or a synthetic event with no
// type) is taken as it is.
const fingerLike = (e) => e.pointerType === 'touch' || e.pointerType === 'pen'

export class Input {
  constructor() {
    // { message, wParam, lParam, afterMove } or a move of the pointer,
    // { at, away }, made when the program takes it.
    this.queue = []
    this.waiters = []
    this.cursor = { ...AWAY }
    this.presents = 0
    this.heldSince = -1 // presents when the last left press was taken
    this.movedSince = -1 // presents when the last queued move was taken
    this.buttons = 0 // the mouse buttons down, as PointerEvent.buttons
    this.leftAlt = false // the left Alt key is down
  }

  post(message, wParam, lParam, afterMove = false) {
    this.queue.push({ message, wParam, lParam, afterMove })
    this.wake()
  }

  wake() {
    if (!this.ready()) return
    for (const resolve of this.waiters.splice(0)) resolve()
  }

  // The tap rule: a left release waits until a frame has been shown since
  // its press, or a quick tap would never be seen pressed. A finger's press
  // waits likewise for a frame after its move: the viewer lays a page out
  // with the pointer the frame before read.
  held() {
    const head = this.queue[0]
    if (head === undefined) return false
    if (head.message === WM.LBUTTONUP) return this.heldSince >= 0 && this.presents <= this.heldSince
    return head.afterMove === true && this.presents <= this.movedSince
  }

  ready() {
    return this.queue.length > 0 && !this.held()
  }

  poll() {
    if (!this.ready()) return null
    const event = this.queue.shift()
    if (event.at) {
      this.cursor = { ...event.at }
      this.movedSince = this.presents
      return [WM.SETCURSOR, 0, SETCURSOR_MOVE]
    }
    if (event.message === WM.LBUTTONDOWN) this.heldSince = this.presents
    if (event.message === WM.LBUTTONUP) this.heldSince = -1
    return [event.message, event.wParam, event.lParam]
  }

  next() {
    // A program that waits draws no frame: what is held goes now.
    if (this.held()) {
      this.heldSince = -1
      this.movedSince = -1
    }
    if (this.ready()) return Promise.resolve()
    return new Promise((resolve) => this.waiters.push(resolve))
  }

  presented() {
    ++this.presents
    this.wake()
  }

  // The mouse is where it is at once; an older leave no longer holds.
  moveTo(x, y) {
    this.cursor = { x, y }
    this.queue = this.queue.filter((e) => !e.away)
  }

  // Queued, not made now: what was posted before must still see the pointer
  // where it was (a tap's release and the frame after it).
  queueMove(at, away = false) {
    this.queue.push({ at, away })
    this.wake()
  }

  leave() {
    if (!this.queue.at(-1)?.away) this.queueMove(AWAY, true)
  }

  moved() {
    if (!this.queue.some((e) => e.message === WM.SETCURSOR)) this.post(WM.SETCURSOR, 0, SETCURSOR_MOVE)
  }

  pointerParam() {
    return param(this.cursor.x, this.cursor.y)
  }

  // WM_KEYDOWN for a virtual key, as a key press or its auto-repeat.
  press(code, repeat = false) {
    this.post(WM.KEYDOWN, code, repeat ? KEY_REPEAT : KEY_ONCE)
  }

  // A key by its KeyboardEvent.code, as a gesture presses it.
  pressKey(domCode) {
    this.press(VK[domCode])
  }

  // Every key event, before anything else takes it: whether the left Alt
  // key is down, which the event itself does not tell from the right one.
  // An event without Alt says that neither is held, whatever was missed.
  track(event) {
    if (event.code === 'AltLeft') this.leftAlt = event.type === 'keydown'
    else if (!event.altKey) this.leftAlt = false
  }

  // A key of the viewer's (or its stand-in) as WM_KEYDOWN; false for a key
  // it has no code for or never hears. With Ctrl or ⌘ a letter is itself,
  // and the browser keeps its shortcut.
  key(event) {
    const shortcut = event.ctrlKey || event.metaKey
    const code = (shortcut ? undefined : STAND_INS[event.code]) ?? VK[event.code]
    if (code === undefined || !reachesViewer(code, event.altKey && this.leftAlt)) return false
    if (!shortcut && !BROWSER_KEEPS.has(event.code)) event.preventDefault()
    this.press(code, event.repeat)
    return true
  }

  // A finger's tap: the pointer goes there, a frame later the left button
  // clicks, and then the pointer leaves, so that it rests at no edge.
  tap(x, y) {
    this.queueMove({ x, y })
    this.post(WM.LBUTTONDOWN, 1, param(x, y), true)
    this.post(WM.LBUTTONUP, 0, param(x, y))
    this.leave()
  }

  rightClick(x, y) {
    this.post(WM.RBUTTONDOWN, 2, param(x, y))
  }

  // A mouse event at p (frame pixels): the pointer, and each button that
  // went down or up. A button pressed while another is held comes as a
  // pointermove with changed buttons, and its release likewise.
  mouse(e, p, canvas) {
    this.moveTo(p.x, p.y)
    const bit = BUTTON_BITS[e.button] ?? 0
    let now = e.buttons
    if (e.type === 'pointerdown') now |= bit
    if (e.type === 'pointerup') now &= ~bit
    const pressed = now & ~this.buttons
    const released = this.buttons & ~now
    this.buttons = now
    if (pressed & LEFT) {
      // Kept: a release off the canvas still comes here.
      try {
        canvas.setPointerCapture(e.pointerId)
      } catch {
        // A pointer the browser no longer knows.
      }
      this.post(WM.LBUTTONDOWN, 1, this.pointerParam())
    }
    if (released & LEFT) this.post(WM.LBUTTONUP, 0, this.pointerParam())
    if (pressed & RIGHT) this.post(WM.RBUTTONDOWN, 2, this.pointerParam())
    if (e.type === 'pointermove' && pressed === 0 && released === 0) this.moved()
  }

  mouseLost() {
    if (this.buttons & LEFT) this.post(WM.LBUTTONUP, 0, this.pointerParam())
    this.buttons = 0
    this.leave()
  }

  // The canvas's pointer events as the mouse's messages; point gives an
  // event's place in frame pixels, cssPerPixel the size of a frame pixel.
  listen(canvas, point, cssPerPixel) {
    const touch = new Touch(this, point, cssPerPixel)
    canvas.addEventListener('pointerdown', (e) => {
      canvas.focus({ preventScroll: true })
      if (fingerLike(e)) touch.down(e)
      else this.mouse(e, point(e), canvas)
      e.preventDefault()
    })
    canvas.addEventListener('pointermove', (e) => {
      if (fingerLike(e)) touch.move(e)
      else this.mouse(e, point(e), canvas)
    })
    canvas.addEventListener('pointerup', (e) => {
      if (fingerLike(e)) touch.up(e)
      else this.mouse(e, point(e), canvas)
    })
    canvas.addEventListener('pointercancel', (e) => {
      if (fingerLike(e)) touch.cancel(e)
      else this.mouseLost()
    })
    canvas.addEventListener('pointerleave', (e) => {
      if (!fingerLike(e)) this.leave()
    })
    canvas.addEventListener('contextmenu', (e) => e.preventDefault())
  }
}
