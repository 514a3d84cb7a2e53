// A magazine in a zip file: its table of contents read and checked, then
// its files unpacked within the viewer's limits. The page reads a zip the
// reader chose on their own disk (nothing is uploaded), and web/build.sh
// unpacks the zips it is given, with this same code. A zip is often someone
// else's download, so anything odd refuses it whole, with the reason in
// words for the reader: a name outside the magazine, a link, a file larger
// than the viewer takes, more files than a magazine has, entries that
// overlap or unpack to more than they declare (zip bombs), damage.
//
// The source is anything with a size and read(offset, length) giving a
// Uint8Array, so a browser's File and a file on disk are read alike, one
// piece at a time. Unpacking uses the platform's DecompressionStream
// ('deflate-raw'), in browsers and in node alike.
import { crc32 } from './crc32.mjs'
import { MAX_FILES, MAX_FILE_BYTES, MAX_TOTAL_BYTES } from './files.mjs'
import { ZIP_TOTAL_LIMIT, readLimit } from './readlimits.mjs'

// Why a zip is refused, in words that finish "Cannot open NAME: ...".
export class ZipError extends Error {}

const END = 0x06054b50
const END64 = 0x06064b50
const LOCATOR64 = 0x07064b50
const CENTRAL = 0x02014b50
const LOCAL = 0x04034b50
const END_BYTES = 22
const CENTRAL_BYTES = 46
const LOCAL_BYTES = 30
const NO_VALUE32 = 0xffffffff
// Room for the table of contents of MAX_FILES files and their folders, with
// long names and extra fields.
export const MAX_DIRECTORY_BYTES = 8 * 1024 * 1024
// The inflater is fed this much at a time, so that data inflating past its
// declared size is stopped within one piece's worth (deflate inflates at
// most about 1,000 times).
const INFLATE_PIECE = 16 * 1024
// Folders a Mac adds to the zips it makes, holding only its own metadata.
const MAC_METADATA = '__MACOSX/'
// What every magazine holds at its top.
const ARCHIVE = 'data/orbex.dat'

const S_IFMT = 0o170000
const S_IFLNK = 0o120000

// The zip format's older character set (code page 437), for names not in UTF-8.
const CP437 = 'ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀' +
  'αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00a0'
const utf8 = new TextDecoder('utf-8', { fatal: true })

export function decodeName(bytes) {
  try {
    return utf8.decode(bytes)
  } catch {
    return Array.from(bytes, (b) => (b < 0x80 ? String.fromCharCode(b) : CP437[b - 0x80])).join('')
  }
}

function view(bytes) {
  return new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength)
}

function u64(v, at) {
  return v.getUint32(at, true) + v.getUint32(at + 4, true) * 2 ** 32
}

function quoted(name) {
  return JSON.stringify(name.length > 200 ? name.slice(0, 200) + '…' : name)
}

function count(n) {
  return n.toLocaleString('en')
}

function mebibytes(n) {
  return `${n / (1024 * 1024)} MiB`
}

function broken(what) {
  return new ZipError(`it is broken (${what}).`)
}

// Why an entry's name has no place in the magazine, or null. Folders come
// without their trailing slash.
export function badName(name) {
  const parts = name.split('/')
  if (name.startsWith('/') || /^[A-Za-z]:/.test(name) || parts.includes('..')) return 'a path outside the magazine'
  if (name.includes('\\')) return 'a name with a backslash, which no magazine file has'
  if (name.includes('\0') || parts.some((part) => part === '' || part === '.')) return 'no usable file name'
  return null
}

async function readExactly(source, offset, length, what) {
  if (offset + length > source.size) throw broken(`${what} lies past its end`)
  const bytes = await source.read(offset, length)
  if (bytes.length !== length) throw broken(`${what} cannot be read`)
  return bytes
}

// The end record: where the table of contents is and how many entries it
// has (from the ZIP64 record where there is one).
async function findDirectory(source) {
  const tail = Math.min(source.size, END_BYTES + 0xffff)
  const bytes = await readExactly(source, source.size - tail, tail, 'its end')
  const v = view(bytes)
  let at = tail - END_BYTES
  while (at >= 0 && !(v.getUint32(at, true) === END && at + END_BYTES + v.getUint16(at + 20, true) <= tail)) --at
  if (at < 0) throw new ZipError('it is no zip file.')
  const endAt = source.size - tail + at
  let found = {
    disks: [v.getUint16(at + 4, true), v.getUint16(at + 6, true)],
    here: v.getUint16(at + 8, true),
    entries: v.getUint16(at + 10, true),
    size: v.getUint32(at + 12, true),
    offset: v.getUint32(at + 16, true),
    end: endAt,
  }
  if (at >= 20 && v.getUint32(at - 20, true) === LOCATOR64) {
    const recordAt = u64(v, at - 12)
    const record = view(await readExactly(source, recordAt, 56, 'its ZIP64 end record'))
    if (recordAt + 56 > endAt - 20 || record.getUint32(0, true) !== END64) throw broken('its ZIP64 end record is damaged')
    found = {
      disks: [record.getUint32(16, true), record.getUint32(20, true)],
      here: u64(record, 24),
      entries: u64(record, 32),
      size: u64(record, 40),
      offset: u64(record, 48),
      end: recordAt,
    }
  }
  if (found.disks[0] !== 0 || found.disks[1] !== 0 || found.here !== found.entries) {
    throw new ZipError('it is one part of a zip split over several files.')
  }
  if (found.offset + found.size > found.end) throw broken('its table of contents lies outside it')
  if (found.size > MAX_DIRECTORY_BYTES) {
    throw new ZipError(`its table of contents is larger than ${mebibytes(MAX_DIRECTORY_BYTES)}, more than a magazine's.`)
  }
  return found
}

// The 64-bit sizes and offset of an entry whose 32-bit fields say "see the
// ZIP64 extra field".
function zip64Fields(entry, extra) {
  const v = view(extra)
  for (let at = 0; at + 4 <= extra.length;) {
    const id = v.getUint16(at, true)
    const length = v.getUint16(at + 2, true)
    if (at + 4 + length > extra.length) break
    if (id === 1) {
      let field = at + 4
      for (const key of ['size', 'packed', 'localOffset']) {
        if (entry[key] !== NO_VALUE32) continue
        if (field + 8 > at + 4 + length) throw broken(`the ZIP64 sizes of ${quoted(entry.name)} are missing`)
        entry[key] = u64(v, field)
        field += 8
      }
      return
    }
    at += 4 + length
  }
  throw broken(`the ZIP64 sizes of ${quoted(entry.name)} are missing`)
}

function readEntries(bytes, entries) {
  const v = view(bytes)
  const list = []
  let at = 0
  for (let i = 0; i < entries; ++i) {
    if (at + CENTRAL_BYTES > bytes.length || v.getUint32(at, true) !== CENTRAL) {
      throw broken(`its table of contents is damaged at entry ${count(i + 1)}`)
    }
    const nameLength = v.getUint16(at + 28, true)
    const extraLength = v.getUint16(at + 30, true)
    const next = at + CENTRAL_BYTES + nameLength + extraLength + v.getUint16(at + 32, true)
    if (next > bytes.length) throw broken(`its table of contents is damaged at entry ${count(i + 1)}`)
    const name = decodeName(bytes.subarray(at + CENTRAL_BYTES, at + CENTRAL_BYTES + nameLength))
    const entry = {
      name,
      flags: v.getUint16(at + 8, true),
      method: v.getUint16(at + 10, true),
      crc: v.getUint32(at + 16, true),
      packed: v.getUint32(at + 20, true),
      size: v.getUint32(at + 24, true),
      localOffset: v.getUint32(at + 42, true),
      mode: v.getUint32(at + 38, true) >>> 16,
    }
    if (entry.packed === NO_VALUE32 || entry.size === NO_VALUE32 || entry.localOffset === NO_VALUE32) {
      const extraAt = at + CENTRAL_BYTES + nameLength
      zip64Fields(entry, bytes.subarray(extraAt, extraAt + extraLength))
    }
    list.push(entry)
    at = next
  }
  return list
}

// Refuses what a magazine cannot hold: names outside it, links, locked or
// unknown data, files over the limit, twice the same name. Returns the
// files (folders dropped).
function checkEntries(entries) {
  const files = []
  const names = new Set()
  let total = 0
  for (const entry of entries) {
    const folder = entry.name.endsWith('/')
    const name = folder ? entry.name.slice(0, -1) : entry.name
    const why = badName(name)
    if (why) throw new ZipError(`it holds ${quoted(entry.name)}, ${why}.`)
    if ((entry.mode & S_IFMT) === S_IFLNK) throw new ZipError(`it holds ${quoted(entry.name)}, a symbolic link.`)
    if (folder) continue
    if (entry.flags & 1) throw new ZipError(`${quoted(name)} in it is encrypted.`)
    if (entry.method !== 0 && entry.method !== 8) {
      throw new ZipError(`${quoted(name)} in it is compressed in a way the page cannot unpack (method ${entry.method}).`)
    }
    if (entry.size > MAX_FILE_BYTES) {
      throw new ZipError(`${quoted(name)} in it would unpack to ${count(entry.size)} bytes, ` +
        `more than the ${mebibytes(MAX_FILE_BYTES)} a magazine file may have.`)
    }
    if (entry.method === 0 && entry.packed !== entry.size) throw broken(`the sizes of ${quoted(name)} disagree`)
    if (names.has(name)) throw new ZipError(`it holds ${quoted(name)} twice.`)
    names.add(name)
    total += entry.size
    files.push(entry)
  }
  if (files.length > MAX_FILES) {
    throw new ZipError(`it holds ${count(files.length)} files; a magazine has at most ${count(MAX_FILES)}.`)
  }
  if (total > MAX_TOTAL_BYTES) {
    throw new ZipError(`it would unpack to ${count(total)} bytes, more than the ${mebibytes(MAX_TOTAL_BYTES)} ` +
      'a magazine may have in all.')
  }
  for (const name of names) {
    for (let cut = name.indexOf('/'); cut >= 0; cut = name.indexOf('/', cut + 1)) {
      if (names.has(name.slice(0, cut))) throw new ZipError(`it holds ${quoted(name.slice(0, cut))} as a file and a folder.`)
    }
  }
  return files
}

// Where each file's data starts, from its local header; data that runs
// into the table of contents or into another file's is refused, as the
// zip bombs that unpack the same data many times are made that way.
async function locateData(source, files, directoryAt) {
  for (const file of files) {
    const header = view(await readExactly(source, file.localOffset, LOCAL_BYTES, `the header of ${quoted(file.name)}`))
    if (header.getUint32(0, true) !== LOCAL) throw broken(`the header of ${quoted(file.name)} is damaged`)
    file.dataAt = file.localOffset + LOCAL_BYTES + header.getUint16(26, true) + header.getUint16(28, true)
    if (file.dataAt + file.packed > directoryAt) throw broken(`the data of ${quoted(file.name)} runs past its end`)
  }
  const inOrder = [...files].sort((a, b) => a.localOffset - b.localOffset)
  for (let i = 1; i < inOrder.length; ++i) {
    const before = inOrder[i - 1]
    if (before.dataAt + before.packed > inOrder[i].localOffset) {
      throw new ZipError(`its entries ${quoted(before.name)} and ${quoted(inOrder[i].name)} overlap, as in a zip bomb.`)
    }
  }
}

// The magazine's paths: the Mac's metadata left out, and one folder that
// holds everything taken as the magazine, unless the zip's top is the
// magazine already (a magazine of nothing but data/ is one folder too).
function magazinePaths(files) {
  const kept = files.filter((file) => !file.name.startsWith(MAC_METADATA))
  const top = kept[0]?.name.split('/')[0]
  const oneFolder = kept.length > 0 && !kept.some((file) => file.name === ARCHIVE) &&
    kept.every((file) => file.name.startsWith(top + '/'))
  for (const file of kept) file.path = oneFolder ? file.name.slice(top.length + 1) : file.name
  return kept
}

// The desktop's limits, which depend on where a file stands in the
// magazine: no file may declare more than the viewer reads of it, and the
// files together no more than a magazine can use.
function checkReadLimits(files) {
  let total = 0
  for (const file of files) {
    const limit = readLimit(file.path)
    if (file.size > limit) {
      throw new ZipError(`${quoted(file.name)} in it declares ${count(file.size)} bytes; ` +
        `the viewer reads at most ${count(limit)} of it.`)
    }
    total += file.size
  }
  if (total > ZIP_TOTAL_LIMIT) {
    throw new ZipError(`its files declare ${count(total)} bytes together, more than the ` +
      `${mebibytes(ZIP_TOTAL_LIMIT)} a magazine can use.`)
  }
  return files
}

// The zip's files, checked: [{ path, size, ... }] for unpack(). Throws a
// ZipError.
export async function listZip(source) {
  const directory = await findDirectory(source)
  const bytes = await readExactly(source, directory.offset, directory.size, 'its table of contents')
  const files = checkEntries(readEntries(bytes, directory.entries))
  await locateData(source, files, directory.offset)
  return checkReadLimits(magazinePaths(files))
}

// At most size bytes inflated from data; more is refused as soon as it comes.
async function inflate(data, size, name) {
  let stream
  try {
    stream = new DecompressionStream('deflate-raw')
  } catch {
    throw new ZipError('this browser cannot unpack zip files; unpack it and open its folder.')
  }
  const writer = stream.writable.getWriter()
  const reader = stream.readable.getReader()
  const feeding = (async () => {
    for (let at = 0; at < data.length; at += INFLATE_PIECE) await writer.write(data.subarray(at, at + INFLATE_PIECE))
    await writer.close()
  })()
  feeding.catch(() => {}) // the reader sees the same failure
  const out = new Uint8Array(size)
  let got = 0
  try {
    for (;;) {
      const { done, value } = await reader.read()
      if (done) break
      if (got + value.length > size) {
        reader.cancel().catch(() => {})
        throw new ZipError(`${quoted(name)} in it unpacks to more than the ${count(size)} bytes it declares, ` +
          'as a zip bomb does.')
      }
      out.set(value, got)
      got += value.length
    }
  } catch (e) {
    if (e instanceof ZipError) throw e
    throw broken(`the data of ${quoted(name)} is damaged`)
  }
  if (got !== size) throw broken(`the data of ${quoted(name)} is shorter than it declares`)
  return out
}

// One file of listZip's, unpacked and checked against its CRC.
export async function unpack(source, file) {
  const data = await readExactly(source, file.dataAt, file.packed, `the data of ${quoted(file.name)}`)
  const bytes = file.method === 0 ? data : await inflate(data, file.size, file.name)
  if (crc32(bytes) !== file.crc) throw broken(`the data of ${quoted(file.name)} is damaged`)
  return bytes
}

// A zip as a source: a browser's Blob or File.
export function blobSource(blob) {
  return {
    size: blob.size,
    read: async (offset, length) => new Uint8Array(await blob.slice(offset, offset + length).arrayBuffer()),
  }
}
