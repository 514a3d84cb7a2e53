// Put by web/build.sh in place of the base64 decoder that chiptune3's
// libopenmpt.worklet.js brings along (audio worklets have no atob): the same
// result, a binary string, about a hundred times faster. The worklet decodes
// its 1.2 MB of WebAssembly with it before the first module can load, so
// this is on the way to the viewer's first frame.
function atob(text) {
  const digits = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/'
  const value = new Uint8Array(128)
  for (let i = 0; i < 64; ++i) value[digits.charCodeAt(i)] = i
  const s = text.replace(/[^A-Za-z0-9+/]/g, '')
  const n = s.length
  const out = new Uint8Array((n * 3) >> 2)
  const at = (i) => value[s.charCodeAt(i)]
  let o = 0
  let i = 0
  for (; i + 3 < n; i += 4) {
    const v = (at(i) << 18) | (at(i + 1) << 12) | (at(i + 2) << 6) | at(i + 3)
    out[o++] = v >> 16
    out[o++] = (v >> 8) & 255
    out[o++] = v & 255
  }
  if (n - i >= 2) {
    const v = (at(i) << 18) | (at(i + 1) << 12) | (n - i === 3 ? at(i + 2) << 6 : 0)
    out[o++] = v >> 16
    if (n - i === 3) out[o++] = (v >> 8) & 255
  }
  let binary = ''
  for (let k = 0; k < o; k += 32768) binary += String.fromCharCode.apply(null, out.subarray(k, Math.min(o, k + 32768)))
  return binary
}
