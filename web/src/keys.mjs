// The window messages the page posts and the keys it knows: message numbers
// by name, Windows virtual-key codes by DOM event.code, the letters that
// stand in for keys a browser may keep, and the keys whose browser use stays.
// Written by hand until the build writes it from the viewer's key table; the
// page depends on these four names only.

export const WM = Object.freeze({
  ACTIVATEAPP: 0x001c,
  SETCURSOR: 0x0020,
  KEYDOWN: 0x0100,
  MOUSEMOVE: 0x0200,
  LBUTTONDOWN: 0x0201,
  LBUTTONUP: 0x0202,
  RBUTTONDOWN: 0x0204,
})

// By physical key. The keypad gives its digits whatever Num Lock says; F10
// and Alt combinations are system keys on Windows and never reach the viewer.
export const VK = {
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
Object.freeze(VK)

// Letters the viewer ignores stand in for keys a browser or keyboard may
// keep (F-keys on laptops, F5 and F12 in some browsers, the keypad).
export const STAND_INS = Object.freeze({
  KeyH: 0x70, KeyS: 0x71, KeyP: 0x74, KeyF: 0x78, KeyQ: 0x7b,
  KeyI: 0x68, KeyJ: 0x64, KeyK: 0x62, KeyL: 0x66,
})

// Posted, but the browser keeps its own use of them.
export const BROWSER_KEEPS = new Set(['Tab', 'Escape', 'F11'])
