// The page's window as the viewer's window: its keys (Alt+Enter and Print
// Screen are the page's), the key buttons, the focus and the page's
// visibility as WM_ACTIVATEAPP, and full screen.
import { listenKeyButtons } from './buttons.mjs'
import { WM } from './keys.mjs'
import { isCopyKey } from './text.mjs'

export class WindowEvents {
  // page: the Page whose input, canvas, sound, text, dialogs and results
  // these events reach.
  constructor(page, document, elements) {
    this.page = page
    this.document = document
    this.elements = elements
    this.visibleWaiters = []
    // The viewer is the active application while the page can be seen and
    // its window has the focus, as a desktop window is.
    this.focused = document.hasFocus()
    this.active = false
    this.printDown = false
  }

  listen() {
    const canvas = this.page.canvas
    this.page.input.listen(canvas.element, (e) => canvas.framePoint(e), () => canvas.cssPerPixel())
    listenKeyButtons(this.elements.keys, this.page.input)
    window.addEventListener('keydown', (e) => {
      this.page.input.track(e)
      this.keyDown(e)
    })
    window.addEventListener('keyup', (e) => {
      this.page.input.track(e)
      // Some systems send Print Screen only as a release.
      if (e.code === 'PrintScreen' && !this.printDown) this.printScreen()
      if (e.code === 'PrintScreen') this.printDown = false
    })
    for (const type of ['pointerdown', 'pointerup', 'keydown', 'click', 'touchend']) {
      window.addEventListener(type, () => this.page.sound.gesture(), true)
    }
    this.document.addEventListener('visibilitychange', () => {
      this.activate()
      if (!this.document.hidden) for (const resolve of this.visibleWaiters.splice(0)) resolve()
    })
    window.addEventListener('blur', () => {
      this.focused = false
      // Keys released elsewhere send this window nothing.
      this.page.input.leftAlt = false
      this.activate()
    })
    window.addEventListener('focus', () => {
      this.focused = true
      this.activate()
    })
    this.elements.fullscreen.addEventListener('click', () => this.toggleFullscreen())
    this.elements.fullscreen.hidden = !this.document.fullscreenEnabled
  }

  // WM_ACTIVATEAPP whenever the page becomes the active application or
  // stops being it: hidden, or its window without the focus.
  activate() {
    const active = !this.document.hidden && this.focused
    if (active === this.active) return
    this.active = active
    this.page.input.post(WM.ACTIVATEAPP, active ? 1 : 0, 0)
  }

  // Alt+Enter and Print Screen are the page's, and work after the end too.
  // Space and Enter on a button of the page are the button's.
  keyDown(e) {
    // Ctrl+C is the browser's copy, and keys in the text are the text's.
    if (isCopyKey(e) || this.page.text.owns(e.target)) return
    if (this.page.dialogs.open) return
    if (e.altKey && (e.code === 'Enter' || e.code === 'NumpadEnter')) {
      e.preventDefault()
      if (!e.repeat) this.toggleFullscreen()
      return
    }
    const plain = !e.ctrlKey && !e.metaKey && !e.altKey
    if (e.code === 'PrintScreen' || (plain && e.code === 'KeyC')) {
      e.preventDefault()
      if (e.code === 'PrintScreen') this.printDown = true
      if (!e.repeat && this.page.stats.presents > 0) this.printScreen()
      return
    }
    const control = e.target instanceof Element && e.target.closest('button, summary, a[href]')
    if (control && (e.code === 'Space' || e.code === 'Enter' || e.code === 'NumpadEnter')) return
    if (!this.page.finished) this.page.input.key(e)
  }

  // The whole page: on a phone the key buttons stay beside the picture; with
  // a mouse only the picture shows (orbex.css).
  toggleFullscreen() {
    const root = this.document.documentElement
    if (this.document.fullscreenElement) {
      this.document.exitFullscreen().catch(() => {})
    } else if (root.requestFullscreen) {
      root.requestFullscreen({ navigationUI: 'hide' }).catch((e) => console.warn('orbex: no full screen:', e.message))
    }
  }

  printScreen() {
    this.page.results.printScreen(this.page.canvas.pixels)
  }
}
