// The keys below the picture as buttons a finger can hit: each posts its
// key's WM_KEYDOWN (by the key's DOM code, data-key) and repeats it while
// held, as the key itself does.
import { VK } from './keys.mjs'

const REPEAT_DELAY_MS = 500
const REPEAT_EVERY_MS = 33

export function listenKeyButtons(root, input) {
  for (const button of root.querySelectorAll('button[data-key]')) {
    const code = VK[button.dataset.key]
    let timer = null
    let byPointer = false // this press came by pointer: its click adds nothing
    const stop = () => {
      clearTimeout(timer)
      timer = null
    }
    const repeat = (delay) => {
      timer = setTimeout(() => {
        input.press(code, true)
        repeat(REPEAT_EVERY_MS)
      }, delay)
    }
    button.addEventListener('pointerdown', (e) => {
      if (e.button !== 0) return
      stop()
      byPointer = true
      input.press(code)
      repeat(REPEAT_DELAY_MS)
      try {
        button.setPointerCapture(e.pointerId)
      } catch {
        // A pointer the browser no longer knows.
      }
    })
    button.addEventListener('pointerup', () => {
      stop()
      // The click, if one comes, follows in this same turn.
      setTimeout(() => { byPointer = false })
    })
    button.addEventListener('pointercancel', () => {
      stop()
      byPointer = false
    })
    // By keyboard or by a screen reader: one press.
    button.addEventListener('click', () => {
      if (!byPointer) input.press(code)
      byPointer = false
    })
    // The frame keeps the keyboard: Space after a tap here is the viewer's.
    button.addEventListener('mousedown', (e) => e.preventDefault())
    button.addEventListener('contextmenu', (e) => e.preventDefault())
  }
}
