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
import { ANY_FILE_LIMIT, ARCHIVE_FILE, READ_LIMITS, ZIP_DIRECTORY_LIMIT, ZIP_ENTRY_LIMIT, ZIP_TOTAL_LIMIT } from './constants.mjs'
import { crc32 } from './crc32.mjs'

// How far the viewer reads the file at path (relative to the magazine's
// folder), and so the most a zip's file there may hold.
export function readLimit(path) {
  return READ_LIMITS.get(path) ?? ANY_FILE_LIMIT
}

// Why a zip is refused, in words that finish "Cannot open NAME: ...", and
// the verdict's code, which the desktop's reader gives the same zip
// (src/common/ziplayout.h; the cases both read are in tests/data/zips).
export class ZipError extends Error {
  constructor(code, message) {
    super(message)
    this.code = code
  }
}

const END = 0x06054b50
const END64 = 0x06064b50
const LOCATOR64 = 0x07064b50
const CENTRAL = 0x02014b50
const LOCAL = 0x04034b50
const DESCRIPTOR = 0x08074b50
const END_BYTES = 22
const LOCATOR_BYTES = 20
const END64_BYTES = 56
const CENTRAL_BYTES = 46
const LOCAL_BYTES = 30
const NO_VALUE32 = 0xffffffff
// The flags that change what a reader makes of an entry: encrypted (0),
// sizes in a descriptor after the data (3), strong encryption (6), names in
// UTF-8 (11). Packers differ in the others between the two headers.
const FLAGS_THAT_MATTER = 0x0849
const FLAG_DESCRIPTOR = 0x0008
const FLAGS_ENCRYPTED = 0x0041
// The inflater is fed this much at a time, so that data inflating past its
// declared size is stopped within one piece's worth (deflate inflates at
// most about 1,000 times).
const INFLATE_PIECE = 16 * 1024
// Folders a Mac adds to the zips it makes, holding only its own metadata.
const MAC_METADATA = '__MACOSX/'

const S_IFMT = 0o170000
const S_IFLNK = 0o120000
const S_IFREG = 0o100000
const S_IFDIR = 0o040000

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

function sameBytes(a, b) {
  return a.length === b.length && a.every((byte, i) => byte === b[i])
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
  return new ZipError('broken', `it is broken (${what}).`)
}

// Why an entry's name has no place in the magazine, or null; folders come
// without their trailing slash. A name that could lead out wherever it is
// unpacked (absolute, a drive, ".." between slashes or backslashes) is
// outside; one that readers would take in different ways (a backslash, an
// empty or "." part, a zero) is no name.
export function nameProblem(name) {
  if (name === '') return { code: 'name', why: 'no usable file name' }
  const parts = name.split(/[/\\]/)
  if (/^[/\\]/.test(name) || /^.:/.test(name) || parts.includes('..')) {
    return { code: 'outside', why: 'a path outside the magazine' }
  }
  if (name.includes('\\')) return { code: 'name', why: 'a name with a backslash, which no magazine file has' }
  if (name.includes('\0') || parts.some((part) => part === '' || part === '.')) {
    return { code: 'name', why: 'no usable file name' }
  }
  return null
}

export function badName(name) {
  return nameProblem(name)?.why ?? null
}

async function readExactly(source, offset, length, what) {
  if (offset + length > source.size) throw broken(`${what} lies past its end`)
  const bytes = await source.read(offset, length)
  if (bytes.length !== length) throw broken(`${what} cannot be read`)
  return bytes
}

// The one end record: where the table of contents is and how many entries
// it has (from the ZIP64 record where there is one). A second end record
// (in the comment, or a zip appended to another) would be a second table.
async function findDirectory(source) {
  const tail = Math.min(source.size, END_BYTES + 0xffff)
  if (tail < END_BYTES) throw new ZipError('not-zip', 'it is no zip file.')
  const bytes = await readExactly(source, source.size - tail, tail, 'its end')
  const v = view(bytes)
  const candidates = []
  for (let i = tail - END_BYTES; i >= 0; --i) {
    if (v.getUint32(i, true) === END && i + END_BYTES + v.getUint16(i + 20, true) <= tail) candidates.push(i)
  }
  if (candidates.length === 0) throw new ZipError('not-zip', 'it is no zip file.')
  if (candidates.length > 1) {
    throw new ZipError('two-ends', 'it has more than one end record, so more than one table of contents.')
  }
  const at = candidates[0]
  if (at + END_BYTES + v.getUint16(at + 20, true) !== tail) throw new ZipError('gap', 'bytes follow its end record.')
  const endAt = source.size - tail + at
  let split = v.getUint16(at + 4, true) !== 0 || v.getUint16(at + 6, true) !== 0 ||
    v.getUint16(at + 8, true) !== v.getUint16(at + 10, true)
  let found = { entries: v.getUint16(at + 10, true), size: v.getUint32(at + 12, true), offset: v.getUint32(at + 16, true), end: endAt }
  if (at >= LOCATOR_BYTES && v.getUint32(at - LOCATOR_BYTES, true) === LOCATOR64) {
    const locator = at - LOCATOR_BYTES
    const recordAt = u64(v, locator + 8)
    const record = view(await readExactly(source, recordAt, END64_BYTES, 'its ZIP64 end record'))
    if (record.getUint32(0, true) !== END64 || 12 + u64(record, 4) !== endAt - LOCATOR_BYTES - recordAt) {
      throw broken('its ZIP64 end record is damaged')
    }
    split = split || v.getUint32(locator + 4, true) !== 0 || v.getUint32(locator + 16, true) > 1 ||
      record.getUint32(16, true) !== 0 || record.getUint32(20, true) !== 0 || u64(record, 24) !== u64(record, 32)
    found = { entries: u64(record, 32), size: u64(record, 40), offset: u64(record, 48), end: recordAt }
  }
  if (split) throw new ZipError('split', 'it is one part of a zip split over several files.')
  if (found.offset + found.size > found.end) throw broken('its table of contents lies outside it')
  if (found.offset + found.size !== found.end) {
    throw new ZipError('gap', 'bytes lie between its table of contents and its end record.')
  }
  if (found.entries > ZIP_ENTRY_LIMIT || found.size > ZIP_DIRECTORY_LIMIT) {
    throw new ZipError('too-many', `it holds more than ${count(ZIP_ENTRY_LIMIT)} entries; a magazine has fewer.`)
  }
  return found
}

// The 64-bit values of the ZIP64 extra field for the 32-bit fields of entry
// (keys, in the field's order) that say "see there".
function zip64Fields(entry, keys, extra) {
  const v = view(extra)
  for (let at = 0; at + 4 <= extra.length;) {
    const id = v.getUint16(at, true)
    const length = v.getUint16(at + 2, true)
    if (at + 4 + length > extra.length) break
    if (id === 1) {
      let field = at + 4
      for (const key of keys) {
        if (entry[key] !== NO_VALUE32) continue
        if (field + 8 > at + 4 + length) return false
        entry[key] = u64(v, field)
        field += 8
      }
      return true
    }
    at += 4 + length
  }
  return keys.every((key) => entry[key] !== NO_VALUE32)
}

function readEntries(bytes, entries) {
  const v = view(bytes)
  const list = []
  let at = 0
  for (let i = 0; i < entries; ++i) {
    const damaged = broken(`its table of contents is damaged at entry ${count(i + 1)}`)
    if (at + CENTRAL_BYTES > bytes.length || v.getUint32(at, true) !== CENTRAL) throw damaged
    const nameLength = v.getUint16(at + 28, true)
    const extraLength = v.getUint16(at + 30, true)
    const next = at + CENTRAL_BYTES + nameLength + extraLength + v.getUint16(at + 32, true)
    if (next > bytes.length) throw damaged
    const nameBytes = bytes.subarray(at + CENTRAL_BYTES, at + CENTRAL_BYTES + nameLength)
    const entry = {
      name: decodeName(nameBytes),
      nameBytes,
      needed: v.getUint16(at + 6, true),
      flags: v.getUint16(at + 8, true),
      method: v.getUint16(at + 10, true),
      time: v.getUint16(at + 12, true),
      date: v.getUint16(at + 14, true),
      crc: v.getUint32(at + 16, true),
      packed: v.getUint32(at + 20, true),
      size: v.getUint32(at + 24, true),
      localOffset: v.getUint32(at + 42, true),
      mode: v.getUint32(at + 38, true) >>> 16,
    }
    entry.zip64 = entry.packed === NO_VALUE32 || entry.size === NO_VALUE32
    const extraAt = at + CENTRAL_BYTES + nameLength
    if (!zip64Fields(entry, ['size', 'packed', 'localOffset'], bytes.subarray(extraAt, extraAt + extraLength))) {
      throw broken(`the ZIP64 sizes of ${quoted(entry.name)} are missing`)
    }
    list.push(entry)
    at = next
  }
  if (at !== bytes.length) throw new ZipError('gap', 'bytes lie in its table of contents behind its last entry.')
  return list
}

// The local header agrees with the entry, and so does the data descriptor
// behind the data where the flags say there is one. Returns where the entry
// ends.
async function checkLocal(source, entry, directoryAt) {
  const name = quoted(entry.name)
  if (entry.localOffset >= directoryAt) throw broken(`the header of ${name} lies past its entries`)
  const header = view(await readExactly(source, entry.localOffset, LOCAL_BYTES, 'a local header'))
  if (header.getUint32(0, true) !== LOCAL) throw broken(`the header of ${name} is damaged`)
  const nameLength = header.getUint16(26, true)
  const extraLength = header.getUint16(28, true)
  const more = await readExactly(source, entry.localOffset + LOCAL_BYTES, nameLength + extraLength, 'a local header')
  const local = {
    needed: header.getUint16(4, true),
    flags: header.getUint16(6, true),
    method: header.getUint16(8, true),
    time: header.getUint16(10, true),
    date: header.getUint16(12, true),
    crc: header.getUint32(14, true),
    packed: header.getUint32(18, true),
    size: header.getUint32(22, true),
  }
  const zip64 = local.size === NO_VALUE32 || local.packed === NO_VALUE32
  const descriptor = (local.flags & FLAG_DESCRIPTOR) !== 0
  const agrees = (key) => local[key] === entry[key] || (descriptor && local[key] === 0)
  if (!zip64Fields(local, ['size', 'packed'], more.subarray(nameLength)) ||
    !sameBytes(more.subarray(0, nameLength), entry.nameBytes) || local.method !== entry.method ||
    local.time !== entry.time || local.date !== entry.date || local.needed > entry.needed ||
    (local.flags & FLAGS_THAT_MATTER) !== (entry.flags & FLAGS_THAT_MATTER) ||
    !agrees('crc') || !agrees('packed') || !agrees('size')) {
    throw new ZipError('header', `the local header of ${name} disagrees with its table of contents.`)
  }
  entry.dataAt = entry.localOffset + LOCAL_BYTES + nameLength + extraLength
  let end = entry.dataAt + entry.packed
  const runsIn = new ZipError('overlap', `the data of ${name} runs into its table of contents.`)
  if (end > directoryAt) throw runsIn
  if (!descriptor) return end
  // crc, then both sizes in 4 bytes, or 8 where the entry is ZIP64; a
  // signature before them is optional.
  const sizeBytes = zip64 || entry.zip64 ? 8 : 4
  const bytes = await readExactly(source, end, Math.min(4 + 4 + 2 * sizeBytes, directoryAt - end), 'a data descriptor')
  const d = view(bytes)
  const signature = bytes.length >= 4 && d.getUint32(0, true) === DESCRIPTOR ? 4 : 0
  if (bytes.length < signature + 4 + 2 * sizeBytes) throw runsIn
  const packed = sizeBytes === 8 ? u64(d, signature + 4) : d.getUint32(signature + 4, true)
  const size = sizeBytes === 8 ? u64(d, signature + 12) : d.getUint32(signature + 8, true)
  if (d.getUint32(signature, true) !== entry.crc || packed !== entry.packed || size !== entry.size) {
    throw new ZipError('header', `the data descriptor of ${name} disagrees with its table of contents.`)
  }
  return end + signature + 4 + 2 * sizeBytes
}

// The entries in the file's order, each beginning where the one before
// ends, the first at the zip's start and the last where the table begins:
// no data is shared by two entries (as the zip bombs that unpack the same
// data many times are made) and none hides outside them.
async function checkLayout(source, entries, directoryAt) {
  const inOrder = [...entries].sort((a, b) => a.localOffset - b.localOffset)
  let expected = 0
  let before = null
  for (const entry of inOrder) {
    if (entry.localOffset < expected) {
      throw new ZipError('overlap', `its entries ${quoted(before.name)} and ${quoted(entry.name)} overlap, as in a zip bomb.`)
    }
    if (entry.localOffset > expected) {
      throw new ZipError('gap', `bytes lie outside its entries, before ${quoted(entry.name)}.`)
    }
    expected = await checkLocal(source, entry, directoryAt)
    before = entry
  }
  if (expected !== directoryAt) throw new ZipError('gap', 'bytes lie outside its entries, before its table of contents.')
}

// What an entry is, from the Unix file type a packer keeps, whatever
// system it says made the entry, else from the trailing slash.
function typeOf(entry) {
  const type = entry.mode & S_IFMT
  if (type === S_IFLNK) return 'link'
  if (type !== 0 && type !== S_IFREG && type !== S_IFDIR) return 'special'
  return type === S_IFDIR || entry.name.endsWith('/') ? 'folder' : 'file'
}

// Refuses what a magazine cannot hold: names outside it, links and special
// files, locked or unknown data, twice the same name, a name that is a file
// and a folder. Returns the files (folders dropped).
function checkEntries(entries) {
  const files = []
  const names = new Set()
  const folders = new Set()
  for (const entry of entries) {
    const type = typeOf(entry)
    const name = entry.name.endsWith('/') ? entry.name.slice(0, -1) : entry.name
    const problem = nameProblem(name)
    if (problem) throw new ZipError(problem.code, `it holds ${quoted(entry.name)}, ${problem.why}.`)
    if (type === 'link') throw new ZipError('link', `it holds ${quoted(entry.name)}, a symbolic link.`)
    if (type === 'special') {
      throw new ZipError('special', `it holds ${quoted(entry.name)}, which is neither a file nor a folder.`)
    }
    if (type === 'folder') {
      folders.add(name)
      continue
    }
    if (entry.flags & FLAGS_ENCRYPTED) throw new ZipError('encrypted', `${quoted(name)} in it is encrypted.`)
    if (entry.method !== 0 && entry.method !== 8) {
      throw new ZipError('method', `${quoted(name)} in it is compressed in a way the page cannot unpack (method ${entry.method}).`)
    }
    if (entry.method === 0 && entry.packed !== entry.size) {
      throw new ZipError('damaged', `it is broken (the sizes of ${quoted(name)} disagree).`)
    }
    if (names.has(name)) throw new ZipError('duplicate', `it holds ${quoted(name)} twice.`)
    names.add(name)
    entry.name = name
    files.push(entry)
  }
  for (const name of names) {
    for (let cut = name.indexOf('/'); cut >= 0; cut = name.indexOf('/', cut + 1)) folders.add(name.slice(0, cut))
  }
  for (const folder of folders) {
    if (names.has(folder)) throw new ZipError('file-and-folder', `it holds ${quoted(folder)} as a file and a folder.`)
  }
  return files
}

// The magazine's paths: the Mac's metadata left out, and one folder that
// holds everything taken as the magazine, unless the zip's top is the
// magazine already (a magazine of nothing but data/ is one folder too).
function magazinePaths(files) {
  const kept = files.filter((file) => !file.name.startsWith(MAC_METADATA))
  const top = kept[0]?.name.split('/')[0]
  const oneFolder = kept.length > 0 && !kept.some((file) => file.name === ARCHIVE_FILE) &&
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
      throw new ZipError('too-large', `${quoted(file.name)} in it declares ${count(file.size)} bytes; ` +
        `the viewer reads at most ${count(limit)} of it.`)
    }
    total += file.size
  }
  if (total > ZIP_TOTAL_LIMIT) {
    throw new ZipError('total', `its files declare ${count(total)} bytes together, more than the ` +
      `${mebibytes(ZIP_TOTAL_LIMIT)} a magazine can use.`)
  }
  return files
}

// The zip's files, checked: [{ path, size, ... }] for unpack(). Throws a
// ZipError.
export async function listZip(source) {
  const directory = await findDirectory(source)
  const bytes = await readExactly(source, directory.offset, directory.size, 'its table of contents')
  const entries = readEntries(bytes, directory.entries)
  await checkLayout(source, entries, directory.offset)
  return checkReadLimits(magazinePaths(checkEntries(entries)))
}

// At most size bytes inflated from data; more is refused as soon as it comes.
async function inflate(data, size, name) {
  let stream
  try {
    stream = new DecompressionStream('deflate-raw')
  } catch {
    throw new ZipError('method', 'this browser cannot unpack zip files; unpack it and open its folder.')
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
        throw new ZipError('bigger', `${quoted(name)} in it unpacks to more than the ${count(size)} bytes it declares, ` +
          'as a zip bomb does.')
      }
      out.set(value, got)
      got += value.length
    }
  } catch (e) {
    if (e instanceof ZipError) throw e
    throw new ZipError('damaged', `it is broken (the data of ${quoted(name)} is damaged).`)
  }
  if (got !== size) throw new ZipError('smaller', `it is broken (the data of ${quoted(name)} is shorter than it declares).`)
  return out
}

// One file of listZip's, unpacked and checked against its CRC.
export async function unpack(source, file) {
  const data = await readExactly(source, file.dataAt, file.packed, `the data of ${quoted(file.name)}`)
  const bytes = file.method === 0 ? data : await inflate(data, file.size, file.name)
  if (crc32(bytes) !== file.crc) throw new ZipError('damaged', `it is broken (the data of ${quoted(file.name)} is damaged).`)
  return bytes
}

// A zip as a source: a browser's Blob or File.
export function blobSource(blob) {
  return {
    size: blob.size,
    read: async (offset, length) => new Uint8Array(await blob.slice(offset, offset + length).arrayBuffer()),
  }
}
