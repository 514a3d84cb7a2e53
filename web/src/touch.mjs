// Fingers and pens on the canvas, as a mouse and keys: a tap clicks where it
// lands, a long press or a tap of two fingers is the right button, and a
// vertical swipe scrolls through the viewer's own keys, a line (Up, Down)
// per line swiped and a page (Page Up, Page Down) for a fling, so that the
// page moves exactly as the keys move it. A line of the article page is
// LINE_HEIGHT frame pixels.
import { LINE_HEIGHT } from './constants.mjs'

// A press held this long without moving is the right button.
export const LONG_PRESS_MS = 500
// A finger wanders a little when it means to stay: CSS pixels.
export const SLOP = 10
// Leaving the glass faster than this (CSS pixels a millisecond, over the
// last FLING_WINDOW_MS of its movement), a swipe is a fling; a finger that
// stood still for STILL_MS before it left was not flung.
export const FLING_SPEED = 0.6
const FLING_WINDOW_MS = 100
const STILL_MS = 50
const TRACK_SAMPLES = 32

// The speed of a finger as it left the glass (negative: upwards), from its
// track of [time, y], the lift last.
export function liftSpeed(track) {
  const lift = track.at(-1)[0]
  let end = track.length - 1
  while (end > 0 && track[end][1] === track[end - 1][1]) --end
  if (end === 0 || lift - track[end][0] > STILL_MS) return 0
  // From the last sample before the window, which the window's start needs.
  let start = end
  while (start > 0 && track[start][0] > track[end][0] - FLING_WINDOW_MS) --start
  return (track[end][1] - track[start][1]) / Math.max(1, track[end][0] - track[start][0])
}

export class Touch {
  // point(event): the event's place in frame pixels; cssPerPixel(): the
  // size of a frame pixel on the page.
  constructor(input, point, cssPerPixel) {
    this.input = input
    this.point = point
    this.cssPerPixel = cssPerPixel
    this.fingers = new Map() // pointerId -> where it went down
    this.gesture = null // { kind: tap|two|long|swipe|none, ... } until the last finger is up
    this.timer = null
  }

  down(e) {
    this.fingers.set(e.pointerId, { x: e.clientX, y: e.clientY })
    if (this.fingers.size === 1) {
      this.gesture = {
        kind: 'tap', id: e.pointerId, x: e.clientX, y: e.clientY, at: this.point(e), since: e.timeStamp,
        lines: 0, track: [[e.timeStamp, e.clientY]],
      }
      this.timer = setTimeout(() => this.longPress(), LONG_PRESS_MS)
    } else if (this.gesture?.kind === 'tap') {
      this.gesture.kind = this.fingers.size === 2 ? 'two' : 'none'
      this.stopTimer()
    } else if (this.gesture?.kind === 'two') {
      this.gesture.kind = 'none'
    }
  }

  move(e) {
    const finger = this.fingers.get(e.pointerId)
    const g = this.gesture
    if (!finger || !g) return
    const far = Math.hypot(e.clientX - finger.x, e.clientY - finger.y) > SLOP
    if (g.kind === 'tap' && far) {
      this.stopTimer()
      g.kind = Math.abs(e.clientY - g.y) > Math.abs(e.clientX - g.x) ? 'swipe' : 'none'
    } else if (g.kind === 'two' && far) {
      g.kind = 'none'
    }
    if (g.kind === 'swipe' && e.pointerId === g.id) this.swipe(e)
  }

  // Lines from where the finger went down, each posted as its key once the
  // finger has gone that far; back again, the other key.
  swipe(e) {
    const g = this.gesture
    g.track.push([e.timeStamp, e.clientY])
    if (g.track.length > TRACK_SAMPLES) g.track.shift()
    const lines = Math.trunc((g.y - e.clientY) / (LINE_HEIGHT * this.cssPerPixel()))
    for (; g.lines < lines; ++g.lines) this.input.pressKey('ArrowDown')
    for (; g.lines > lines; --g.lines) this.input.pressKey('ArrowUp')
  }

  up(e) {
    const g = this.gesture
    if (!this.fingers.delete(e.pointerId) || !g) return
    if (g.kind === 'swipe' && e.pointerId === g.id) {
      this.swipe(e)
      const speed = liftSpeed(g.track)
      if (Math.abs(speed) >= FLING_SPEED) this.input.pressKey(speed < 0 ? 'PageDown' : 'PageUp')
      g.kind = 'none'
    }
    if (this.fingers.size > 0) return
    this.stopTimer()
    if (g.kind === 'tap') this.input.tap(g.at.x, g.at.y)
    if (g.kind === 'two' && e.timeStamp - g.since < LONG_PRESS_MS) this.input.rightClick(g.at.x, g.at.y)
    this.gesture = null
  }

  // The browser took the touch over (or lost it): nothing more comes of it.
  cancel(e) {
    this.fingers.delete(e.pointerId)
    this.stopTimer()
    if (this.gesture) this.gesture.kind = 'none'
    if (this.fingers.size === 0) this.gesture = null
  }

  longPress() {
    this.timer = null
    if (this.gesture?.kind !== 'tap') return
    this.gesture.kind = 'long'
    this.input.rightClick(this.gesture.at.x, this.gesture.at.y)
  }

  stopTimer() {
    clearTimeout(this.timer)
    this.timer = null
  }
}
