#!/usr/bin/env node
// Writes the zips of verdicts.tsv, byte by byte, each a small magazine with
// one thing about it that a reader must refuse (or nothing, for the good
// ones): node tests/data/zips/make.mjs. The zips are kept in the repository,
// so the desktop's tests read them without Node; run this after changing a
// case, and commit the zips with it.
import fs from 'node:fs'
import path from 'node:path'
import { fileURLToPath } from 'node:url'
import zlib from 'node:zlib'

const here = path.dirname(fileURLToPath(import.meta.url))

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1
  return c >>> 0
})
function crc32(bytes) {
  let c = 0xffffffff
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8)
  return (c ^ 0xffffffff) >>> 0
}

const UNIX = 3
const MACOS = 19
const MSDOS = 0
const S_IFREG = 0o100000
const S_IFDIR = 0o040000
const S_IFLNK = 0o120000
const S_IFIFO = 0o010000
const S_IFCHR = 0o020000

const ARCHIVE = 'Xlesen\nORBEX\n\nHallo.\n\x9e'
const MAGAZINE = [
  { name: 'data/', folder: true },
  { name: 'data/orbex.dat', data: ARCHIVE },
  { name: 'extreme2.xm', data: 'not really a module, but the zip does not care' },
]

// An entry's parts before they are laid out; every field may be changed by
// a case to make it hostile.
function entry(spec) {
  const data = Buffer.from(spec.data ?? '', 'latin1')
  const deflate = spec.method !== undefined ? spec.method === 8 : !spec.folder && data.length > 16
  const body = spec.body ?? (deflate ? zlib.deflateRawSync(data) : data)
  const mode = spec.mode ?? (spec.folder ? S_IFDIR | 0o755 : S_IFREG | 0o644)
  const e = {
    name: Buffer.from(spec.name, 'latin1'),
    version: 20,
    madeBy: spec.madeBy ?? UNIX,
    flags: 0x0800,
    method: spec.method ?? (deflate ? 8 : 0),
    time: 0x6000,
    date: 0x5a21,
    crc: crc32(data),
    packed: body.length,
    size: data.length,
    mode,
    body,
    descriptor: null, // { signature, crc, packed, size }
  }
  Object.assign(e, spec.patch ?? {})
  e.local = { ...e, ...(spec.local ?? {}) }
  if (spec.descriptor) {
    e.flags |= 8
    e.local.flags |= 8
    e.local.crc = 0
    e.local.packed = 0
    e.local.size = 0
    e.descriptor = { signature: spec.descriptor === 'signed', crc: e.crc, packed: e.packed, size: e.size }
    Object.assign(e.descriptor, spec.descriptorPatch ?? {})
  }
  return e
}

function localHeader(e) {
  const l = e.local
  const h = Buffer.alloc(30)
  h.writeUInt32LE(0x04034b50, 0)
  h.writeUInt16LE(l.version, 4)
  h.writeUInt16LE(l.flags, 6)
  h.writeUInt16LE(l.method, 8)
  h.writeUInt16LE(l.time, 10)
  h.writeUInt16LE(l.date, 12)
  h.writeUInt32LE(l.crc, 14)
  h.writeUInt32LE(l.packed, 18)
  h.writeUInt32LE(l.size, 22)
  const name = l.name
  h.writeUInt16LE(name.length, 26)
  return Buffer.concat([h, name])
}

function descriptorBytes(d) {
  if (!d) return Buffer.alloc(0)
  const b = Buffer.alloc(12)
  b.writeUInt32LE(d.crc, 0)
  b.writeUInt32LE(d.packed, 4)
  b.writeUInt32LE(d.size, 8)
  if (!d.signature) return b
  const s = Buffer.alloc(4)
  s.writeUInt32LE(0x08074b50, 0)
  return Buffer.concat([s, b])
}

function centralRecord(e, offset) {
  const c = Buffer.alloc(46)
  c.writeUInt32LE(0x02014b50, 0)
  c.writeUInt16LE((e.madeBy << 8) | 20, 4)
  c.writeUInt16LE(e.version, 6)
  c.writeUInt16LE(e.flags, 8)
  c.writeUInt16LE(e.method, 10)
  c.writeUInt16LE(e.time, 12)
  c.writeUInt16LE(e.date, 14)
  c.writeUInt32LE(e.crc, 16)
  c.writeUInt32LE(e.packed, 20)
  c.writeUInt32LE(e.size, 24)
  c.writeUInt16LE(e.name.length, 28)
  c.writeUInt32LE(e.mode * 0x10000, 38)
  c.writeUInt32LE(e.offset ?? offset, 42)
  return Buffer.concat([c, e.name])
}

function endRecord(count, size, offset, comment = Buffer.alloc(0), disks = [0, 0]) {
  const end = Buffer.alloc(22)
  end.writeUInt32LE(0x06054b50, 0)
  end.writeUInt16LE(disks[0], 4)
  end.writeUInt16LE(disks[1], 6)
  end.writeUInt16LE(count, 8)
  end.writeUInt16LE(count, 10)
  end.writeUInt32LE(size, 12)
  end.writeUInt32LE(offset, 16)
  end.writeUInt16LE(comment.length, 20)
  return Buffer.concat([end, comment])
}

// The zip of these entries: { prefix, between: [index, bytes], comment,
// trailer, disks, zip64 } change its layout.
function zip(specs, layout = {}) {
  const entries = specs.map(entry)
  const parts = [layout.prefix ?? Buffer.alloc(0)]
  let offset = parts[0].length
  const offsets = []
  entries.forEach((e, i) => {
    if (layout.between && layout.between[0] === i) {
      parts.push(layout.between[1])
      offset += layout.between[1].length
    }
    offsets.push(offset)
    const bytes = Buffer.concat([localHeader(e), e.body, descriptorBytes(e.descriptor)])
    parts.push(bytes)
    offset += bytes.length
  })
  const directory = Buffer.concat(entries.map((e, i) => centralRecord(e, offsets[i])))
  parts.push(directory)
  if (layout.zip64) {
    const record = Buffer.alloc(56)
    record.writeUInt32LE(0x06064b50, 0)
    record.writeBigUInt64LE(44n, 4)
    record.writeUInt16LE(45, 12)
    record.writeUInt16LE(45, 14)
    record.writeBigUInt64LE(BigInt(entries.length), 24)
    record.writeBigUInt64LE(BigInt(entries.length), 32)
    record.writeBigUInt64LE(BigInt(directory.length), 40)
    record.writeBigUInt64LE(BigInt(offset), 48)
    const locator = Buffer.alloc(20)
    locator.writeUInt32LE(0x07064b50, 0)
    locator.writeBigUInt64LE(BigInt(offset + directory.length), 8)
    locator.writeUInt32LE(1, 16)
    parts.push(record, locator, endRecord(0xffff, 0xffffffff, 0xffffffff))
  } else {
    parts.push(endRecord(entries.length, directory.length, offset, layout.comment, layout.disks))
  }
  parts.push(layout.trailer ?? Buffer.alloc(0))
  return Buffer.concat(parts)
}

// Deflate blocks of no output filling about n bytes: stored blocks of
// length 0, five bytes each, the last one final.
function emptyBlocks(n) {
  const out = Buffer.alloc(Math.max(1, Math.floor(n / 5)) * 5)
  for (let at = 0; at < out.length; at += 5) out.set([0x00, 0x00, 0x00, 0xff, 0xff], at)
  out[out.length - 5] = 0x01
  return out
}

// A stored deflate block's header for length bytes that follow it.
function storedBlock(length) {
  return Buffer.from([0x00, length & 0xff, length >> 8, ~length & 0xff, (~length >> 8) & 0xff])
}

// count entries, each with a name of its own in a local header that agrees
// with its record, all of whose data run to the end of one shared stretch of
// empty deflate blocks: entry i's deflate stream quotes the headers of the
// entries after it in stored blocks, then goes on through the stretch. A
// reader that inflates every entry inflates the stretch count times.
function sharedStretch(count, stretchBytes) {
  const stretch = emptyBlocks(stretchBytes)
  const Q = storedBlock(0).length
  const headers = new Array(count)
  const records = new Array(count)
  // From the last entry back: a header's sizes and checksum depend on every
  // header after it.
  let packed = stretch.length
  let after = [] // the headers after entry i, which its data inflates to
  for (let i = count - 1; i >= 0; --i) {
    const output = Buffer.concat(after)
    const e = entry({ name: `m${i}.xm`, body: Buffer.alloc(0), method: 8 })
    Object.assign(e, { packed, size: output.length, crc: zlib.crc32 ? zlib.crc32(output) : crc32(output) })
    e.local = { ...e }
    headers[i] = localHeader(e)
    records[i] = e
    after = [headers[i], ...after]
    packed += Q + headers[i].length
  }
  const parts = []
  const offsets = []
  let offset = 0
  headers.forEach((header, i) => {
    if (i > 0) {
      parts.push(storedBlock(header.length))
      offset += Q
    }
    offsets.push(offset)
    parts.push(header)
    offset += header.length
  })
  parts.push(stretch)
  offset += stretch.length
  const directory = Buffer.concat(records.map((e, i) => centralRecord(e, offsets[i])))
  return Buffer.concat([...parts, directory, endRecord(count, directory.length, offset)])
}

// Entry b's header inside entry a's stored data: a's data is b whole.
function overlapping() {
  const inner = entry({ name: 'inner.xm', data: 'hidden inside another entry', method: 0 })
  const innerBytes = localHeader(inner)
  const data = Buffer.concat([innerBytes, inner.body])
  const outer = entry({ name: 'outer.xm', data: data.toString('latin1'), method: 0 })
  const good = MAGAZINE.map(entry)
  let offset = 0
  const parts = []
  const records = []
  for (const e of [...good, outer]) {
    const bytes = Buffer.concat([localHeader(e), e.body])
    records.push(centralRecord(e, offset))
    if (e === outer) records.push(centralRecord(inner, offset + localHeader(e).length))
    parts.push(bytes)
    offset += bytes.length
  }
  const directory = Buffer.concat(records)
  return Buffer.concat([...parts, directory, endRecord(records.length, directory.length, offset)])
}

const big = 'a'.repeat(1 << 20)
const good = MAGAZINE
const withTop = [{ name: 'issue3/', folder: true }, ...MAGAZINE.map((e) => ({ ...e, name: 'issue3/' + e.name }))]
const other = [{ name: 'data/orbex.dat', data: 'XANDERS\nEIN ANDERER\n\nEin anderes Heft.\n\x9e' }]

const CASES = {
  'good.zip': ['ok', 'a magazine at the zip\'s top', zip(good)],
  'good-top.zip': ['ok', 'a magazine inside one folder', zip(withTop)],
  'good-descriptor.zip': ['ok', 'sizes in signed data descriptors, as streaming packers write them',
    zip(good.map((e) => (e.folder ? e : { ...e, descriptor: 'signed' })))],
  'good-descriptor-bare.zip': ['ok', 'data descriptors without their signature',
    zip(good.map((e) => (e.folder ? e : { ...e, descriptor: 'bare' })))],
  'good-macosx.zip': ['ok', 'a Mac\'s metadata beside the magazine folder',
    zip([...withTop, { name: '__MACOSX/', folder: true }, { name: '__MACOSX/issue3/._extreme2.xm', data: 'fork' }])],
  'good-zip64.zip': ['ok', 'a ZIP64 end record', zip(good, { zip64: true })],
  'not-zip.zip': ['not-zip', 'text', Buffer.from('just text\n')],
  'empty.zip': ['not-zip', 'no bytes at all', Buffer.alloc(0)],
  'split.zip': ['split', 'one part of a split zip', zip(good, { disks: [1, 1] })],
  'two-ends.zip': ['two-ends', 'a second zip in the comment of the first',
    zip(good, { comment: zip(other) })],
  'two-directories.zip': ['two-ends', 'two zips one after the other, both whole', Buffer.concat([zip(good), zip(other)])],
  'broken-directory.zip': ['broken', 'the table of contents\' first record without its signature', (() => {
    const bytes = zip(good)
    bytes.writeUInt32LE(0x12345678, bytes.readUInt32LE(bytes.length - 6))
    return bytes
  })()],
  'outside-dotdot.zip': ['outside', 'data/../../escape.txt', zip([...good, { name: 'data/../../escape.txt', data: 'x' }])],
  'outside-absolute.zip': ['outside', 'an absolute name', zip([...good, { name: '/etc/evil', data: 'x' }])],
  'outside-drive.zip': ['outside', 'a drive letter', zip([...good, { name: 'C:evil', data: 'x' }])],
  'outside-backslash.zip': ['outside', '.. between backslashes', zip([...good, { name: 'data\\..\\..\\evil', data: 'x' }])],
  'outside-local.zip': ['header', 'a plain name in the table, ../../../tmp/evil in its local header',
    zip([...good, { name: 'notes.txt', data: 'x', local: { name: Buffer.from('../../../tmp/evil') } }])],
  'name-backslash.zip': ['name', 'a backslash in a name', zip([...good, { name: 'data\\notes.txt', data: 'x' }])],
  'name-dot.zip': ['name', 'a "." part', zip([{ name: './data/orbex.dat', data: ARCHIVE }])],
  'name-empty-part.zip': ['name', 'an empty part', zip([...good, { name: 'data//chars.168', data: 'x' }])],
  'link-unix.zip': ['link', 'a link made on Unix', zip([...good, { name: 'notes.txt', data: '/etc/passwd', mode: S_IFLNK | 0o777 }])],
  'link-macos.zip': ['link', 'a link made on macOS',
    zip([...good, { name: 'notes.txt', data: '/etc/passwd', mode: S_IFLNK | 0o777, madeBy: MACOS }])],
  'link-msdos.zip': ['link', 'a link marked as made on MS-DOS',
    zip([...good, { name: 'notes.txt', data: '/etc/passwd', mode: S_IFLNK | 0o777, madeBy: MSDOS }])],
  'fifo.zip': ['special', 'a FIFO', zip([...good, { name: 'fifo', mode: S_IFIFO | 0o644 }])],
  'device.zip': ['special', 'a character device', zip([...good, { name: 'tty', mode: S_IFCHR | 0o644, madeBy: MSDOS }])],
  'encrypted.zip': ['encrypted', 'an encrypted entry',
    zip([...good, { name: 'secret.xm', data: 'x', patch: { flags: 0x0801 } }])],
  'method.zip': ['method', 'bzip2', zip([...good, { name: 'b.xm', data: 'x', method: 12 }])],
  'duplicate.zip': ['duplicate', 'two entries of one name',
    zip([...good, { name: 'data/orbex.dat', data: 'again' }])],
  'file-and-folder.zip': ['file-and-folder', 'a file inside a file',
    zip([...good, { name: 'data/orbex.dat/x', data: 'x' }])],
  'file-and-folder-entry.zip': ['file-and-folder', 'a folder entry of a file\'s name',
    zip([...good, { name: 'extreme2.xm/', folder: true }])],
  'too-many.zip': ['too-many', '4,097 entries',
    zip([...good, ...Array.from({ length: 4097 - good.length }, (_, i) => ({ name: `f${i}`, data: '' }))])],
  'too-large.zip': ['too-large', 'a pointer that declares 65,537 bytes',
    zip([...good, { name: 'data/cursor.pcx', data: 'x', method: 8, patch: { size: 65537 } }])],
  'total.zip': ['total', 'five modules that declare 60 MiB each', zip([...good,
    ...Array.from({ length: 5 }, (_, i) => ({ name: `m${i}.xm`, data: 'x', method: 8, patch: { size: 60 << 20 } }))])],
  'overlap.zip': ['overlap', 'an entry whose data holds another entry', overlapping()],
  'shared-stretch.zip': ['overlap', '3,500 entries claiming one megabyte of empty deflate blocks', sharedStretch(3500, 1 << 20)],
  'gap-prefix.zip': ['gap', 'bytes before the first entry', zip(good, { prefix: Buffer.from('#!/bin/sh\nexit 0\n') })],
  'gap-between.zip': ['gap', 'bytes between two entries', zip(good, { between: [2, Buffer.from('hidden')] })],
  'gap-trailer.zip': ['gap', 'bytes after the end record', zip(good, { trailer: Buffer.from('more') })],
  'header-size.zip': ['header', 'a local header with another size',
    zip([...good, { name: 'm.xm', data: 'module', local: { size: 7 } }])],
  'header-method.zip': ['header', 'a local header with another method',
    zip([...good, { name: 'm.xm', data: 'module', local: { method: 8 } }])],
  'header-flags.zip': ['header', 'a local header without the UTF-8 flag',
    zip([...good, { name: 'm.xm', data: 'module', local: { flags: 0 } }])],
  'header-descriptor.zip': ['header', 'a data descriptor with another size',
    zip([...good, { name: 'm.xm', data: 'module', descriptor: 'signed', descriptorPatch: { size: 5 } }])],
  'bigger.zip': ['bigger', '1 MiB of data that declares 1,000 bytes',
    zip([...good, { name: 'm.xm', data: big, patch: { size: 1000 }, local: { size: 1000 } }])],
  'smaller.zip': ['smaller', '6 bytes of data that declare 100',
    zip([...good, { name: 'm.xm', data: 'module', method: 8, patch: { size: 100 }, local: { size: 100 } }])],
  'crc.zip': ['damaged', 'a wrong checksum',
    zip([...good, { name: 'm.xm', data: 'module', patch: { crc: 1 }, local: { crc: 1 } }])],
  'inflate.zip': ['damaged', 'deflate data of a block type that does not exist',
    zip([...good, { name: 'm.xm', body: Buffer.from([0x07, 0x00]), method: 8, patch: { size: 4, crc: 0 }, local: { size: 4, crc: 0 } }])],
  'stored-sizes.zip': ['damaged', 'stored data whose two sizes differ',
    zip([...good, { name: 'm.xm', data: 'module', method: 0, patch: { size: 5 }, local: { size: 5 } }])],
}

const lines = ['# The zips of this folder and what every reader of zip magazines must say of them.',
  '# Written by make.mjs; read by tests/common/zipfolder_test.cpp and web/test/zip.test.mjs.',
  '# zip\tverdict\twhat it is']
for (const [name, [verdict, what, bytes]] of Object.entries(CASES)) {
  fs.writeFileSync(path.join(here, name), bytes)
  lines.push(`${name}\t${verdict}\t${what}`)
}
fs.writeFileSync(path.join(here, 'verdicts.tsv'), lines.join('\n') + '\n')
