// Zip files for the tests, written byte by byte: a magazine folder as a zip,
// and the hostile zips a reader may be handed (a path outside the magazine,
// a link, a huge entry of zeros, one that inflates past what it declares, a
// broken table of contents).
import fs from 'node:fs'
import path from 'node:path'
import zlib from 'node:zlib'

import { crc32 } from '../src/crc32.mjs'

const S_IFREG = 0o100000
const S_IFLNK = 0o120000
const MADE_ON_UNIX = 3 << 8

// entries: [{ name, data } | { name, folder: true } | { name, link: target }]
// with, for hostile ones, raw deflate data and the sizes it declares
// ({ name, deflated, size, crc }). Returns the zip's bytes.
export function zipBytes(entries) {
  const locals = []
  const centrals = []
  let offset = 0
  for (const entry of entries) {
    const name = Buffer.from(entry.name)
    let method = 0
    let body
    let size
    let crc
    let mode = S_IFREG | 0o644
    if (entry.folder) {
      body = Buffer.alloc(0)
      size = 0
      crc = 0
      mode = 0o40755
    } else if (entry.link !== undefined) {
      body = Buffer.from(entry.link)
      size = body.length
      crc = crc32(body)
      mode = S_IFLNK | 0o777
    } else if (entry.deflated) {
      method = 8
      body = entry.deflated
      size = entry.size
      crc = entry.crc
    } else {
      const data = Buffer.from(entry.data)
      const packed = zlib.deflateRawSync(data)
      method = packed.length < data.length ? 8 : 0
      body = method === 8 ? packed : data
      size = data.length
      crc = crc32(data)
    }
    const local = Buffer.alloc(30)
    local.writeUInt32LE(0x04034b50, 0)
    local.writeUInt16LE(20, 4)
    local.writeUInt16LE(0x0800, 6) // UTF-8 names
    local.writeUInt16LE(method, 8)
    local.writeUInt32LE(crc, 14)
    local.writeUInt32LE(body.length, 18)
    local.writeUInt32LE(size, 22)
    local.writeUInt16LE(name.length, 26)
    const central = Buffer.alloc(46)
    central.writeUInt32LE(0x02014b50, 0)
    central.writeUInt16LE(MADE_ON_UNIX | 20, 4)
    central.writeUInt16LE(20, 6)
    central.writeUInt16LE(0x0800, 8)
    central.writeUInt16LE(method, 10)
    central.writeUInt32LE(crc, 16)
    central.writeUInt32LE(body.length, 20)
    central.writeUInt32LE(size, 24)
    central.writeUInt16LE(name.length, 28)
    central.writeUInt32LE(mode * 0x10000, 38)
    central.writeUInt32LE(offset, 42)
    locals.push(local, name, body)
    centrals.push(central, name)
    offset += local.length + name.length + body.length
  }
  const directory = Buffer.concat(centrals)
  const end = Buffer.alloc(22)
  end.writeUInt32LE(0x06054b50, 0)
  end.writeUInt16LE(entries.length, 8)
  end.writeUInt16LE(entries.length, 10)
  end.writeUInt32LE(directory.length, 12)
  end.writeUInt32LE(offset, 16)
  return Buffer.concat([...locals, directory, end])
}

// Every file under dir as entries, inside one top folder when top is given
// (as zips made of a folder are).
export function folderEntries(dir, top = null) {
  const entries = []
  const walk = (at, prefix) => {
    for (const entry of fs.readdirSync(at, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
      const name = prefix + entry.name
      if (entry.isDirectory()) {
        entries.push({ name: name + '/', folder: true })
        walk(path.join(at, entry.name), name + '/')
      } else {
        entries.push({ name, data: fs.readFileSync(path.join(at, entry.name)) })
      }
    }
  }
  if (top) entries.push({ name: top + '/', folder: true })
  walk(dir, top ? top + '/' : '')
  return entries
}

// size bytes of zeros, deflated a piece at a time (1 GiB takes a few
// seconds and 5 MB), once.
export function deflatedZeros(size) {
  if (!zerosMade.has(size)) zerosMade.set(size, deflate(size))
  return zerosMade.get(size)
}
const zerosMade = new Map()

async function deflate(size) {
  const deflate = zlib.createDeflateRaw({ level: 1 })
  const pieces = []
  deflate.on('data', (piece) => pieces.push(piece))
  const done = new Promise((resolve, reject) => {
    deflate.on('end', resolve)
    deflate.on('error', reject)
  })
  const zeros = Buffer.alloc(Math.min(size, 64 * 1024 * 1024))
  for (let left = size; left > 0; left -= zeros.length) {
    if (!deflate.write(left >= zeros.length ? zeros : zeros.subarray(0, left))) {
      await new Promise((resolve) => deflate.once('drain', resolve))
    }
  }
  deflate.end()
  await done
  return Buffer.concat(pieces)
}

const GIB = 1024 * 1024 * 1024

// The hostile zips, each beside a good magazine's files ({ name: bytes }),
// as [{ name, bytes, refused }]: refused matches the page's reason.
export async function hostileZips(good) {
  const goodEntries = Object.entries(good).map(([name, data]) => ({ name, data }))
  const zeros = await deflatedZeros(GIB)
  const zerosCrc = 0 // not needed: refused before the CRC is checked
  const broken = zipBytes(goodEntries)
  // The table of contents' first entry loses its signature.
  broken.writeUInt32LE(0x12345678, broken.readUInt32LE(broken.length - 6))
  return [
    {
      name: 'dotdot.zip',
      bytes: zipBytes([...goodEntries, { name: 'data/../../escape.txt', data: 'out' }]),
      refused: /"data\/\.\.\/\.\.\/escape\.txt", a path outside the magazine/,
    },
    {
      name: 'link.zip',
      bytes: zipBytes([...goodEntries, { name: 'notes.txt', link: '/etc/passwd' }]),
      refused: /"notes\.txt", a symbolic link/,
    },
    {
      name: 'zeros.zip',
      bytes: zipBytes([...goodEntries, { name: 'zeros.xm', deflated: zeros, size: GIB, crc: zerosCrc }]),
      refused: /"zeros\.xm" in it declares 1,073,741,824 bytes; the viewer reads at most 67,108,864 of it/,
    },
    {
      // The same zeros, declared as a small file: stopped while inflating.
      name: 'bomb.zip',
      bytes: zipBytes([...goodEntries, { name: 'bomb.xm', deflated: zeros, size: 1000, crc: zerosCrc }]),
      refused: /"bomb\.xm" in it unpacks to more than the 1,000 bytes it declares/,
    },
    { name: 'broken.zip', bytes: broken, refused: /it is broken \(its table of contents is damaged at entry 1\)/ },
  ]
}
