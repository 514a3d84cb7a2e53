// CRC-32 as PNG chunks and zip entries carry it (the polynomial 0xEDB88320).

const TABLE = (() => {
  const table = new Uint32Array(256)
  for (let n = 0; n < 256; ++n) {
    let c = n
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1
    table[n] = c >>> 0
  }
  return table
})()

export function crc32(bytes) {
  let c = 0xffffffff
  for (let i = 0; i < bytes.length; ++i) c = TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8)
  return (c ^ 0xffffffff) >>> 0
}
