#!/usr/bin/env node
// Copies a magazine folder, or unpacks a magazine zip, into a site for
// web/build.sh:
//   node --import ./web/tools/generated.mjs web/tools/copy-magazine.mjs MAGAZINE_DIR|MAGAZINE.zip OUT_DIR
// OUT_DIR must not exist yet. Only folders and regular files are copied,
// never a link (a link would serve whatever it points to), and of those
// only what a magazine uses: the viewer's files, modules, plain text and
// pictures (an allow-list: any other file could be served as a page);
// names files.txt cannot hold and files larger than the page loads stay
// out too. Each file left
// out is named on standard error. files.txt lists what was copied: the
// magazine's own, in its order, without what is not in the site, or else
// every file copied, each with its size; a file that compresses well is
// stored gzipped as NAME.gz in its place (the list says so). A zip is read
// as the page reads one from the reader's
// disk (src/zip.mjs): one holding a link, a path outside the magazine, a
// file over the limits or damage is refused whole (status 1), and nothing
// of it is left in OUT_DIR.
import { spawnSync } from 'node:child_process'
import fs from 'node:fs'
import path from 'node:path'
import zlib from 'node:zlib'
import { pathToFileURL } from 'node:url'

import { READ_LIMITS, START_MODULE_FILE } from '../src/constants.mjs'
import { MAX_FILES, MAX_FILE_BYTES, musicNames, usablePath } from '../src/files.mjs'
import { ZipError, listZip, unpack } from '../src/zip.mjs'

// What a magazine can use, and so all that a site takes of it (an
// allow-list: any other file could be served as a page that runs script
// under the site's address, whatever its name says). The viewer's own files:
export const VIEWER_FILES = new Set([...READ_LIMITS.keys(), START_MODULE_FILE])
// Modules, by the names the sound library plays (libopenmpt's), plain text
// and pictures, which hosts serve as data.
const MODULES = new Set(['669', 'amf', 'ams', 'c67', 'dbm', 'digi', 'dmf', 'dsm', 'dsym', 'dtm', 'far', 'fmt', 'gdm',
  'ice', 'imf', 'it', 'j2b', 'm15', 'mdl', 'med', 'mms', 'mo3', 'mod', 'mptm', 'mt2', 'mtm', 'mus', 'nst', 'okt', 'oxm',
  'plm', 'psm', 'pt36', 'ptm', 's3m', 'sfx', 'sfx2', 'st26', 'stk', 'stm', 'stp', 'stx', 'symmod', 'ult', 'umx', 'wow',
  'xm'])
const TEXT = new Set(['txt', 'nfo', 'diz'])
const PICTURES = new Set(['png', 'jpg', 'jpeg', 'gif', 'bmp', 'webp', 'pcx', 'raw'])
// A music link may name a module by any name; such a name is taken too,
// unless hosts serve it as a page, a script or a document of the web.
const WEB_DOCUMENTS = new Set(['htm', 'html', 'shtml', 'xht', 'xhtm', 'xhtml', 'xml', 'xsl', 'xslt', 'svg', 'svgz',
  'js', 'mjs', 'cjs', 'json', 'webmanifest', 'css', 'wasm', 'php', 'phtml', 'asp', 'aspx', 'jsp', 'cgi', 'pl', 'py',
  'mht', 'mhtml', 'rss', 'atom', 'rdf', 'swf', 'pdf', 'appcache'])
// What a desktop run leaves in the folder, of no use to a reader.
const LEFTOVERS = new Set(['orbex.log', 'save.txt'])
const { O_RDONLY, O_NOFOLLOW, O_NONBLOCK } = fs.constants

function extensionOf(rel) {
  const base = rel.slice(rel.lastIndexOf('/') + 1)
  return base.includes('.') ? base.slice(base.lastIndexOf('.') + 1).toLowerCase() : ''
}

// Whether the magazine can use the file at rel (a path with /): the
// viewer's files, modules, text, pictures, and what its music links name.
export function usable(rel, music) {
  const extension = extensionOf(rel)
  return VIEWER_FILES.has(rel) || MODULES.has(extension) || TEXT.has(extension) || PICTURES.has(extension) ||
    (music.has(rel) && !WEB_DOCUMENTS.has(extension))
}

// A name as it can be shown on one line.
function shown(rel) {
  return /[\x00-\x1f\x7f-\x9f]/.test(rel) ? JSON.stringify(rel) : rel
}

// Why a regular file of this path (relative, with /) stays out, or null.
function leftOut(rel, size, music) {
  if (!usable(rel, music)) return 'no file a magazine uses (its files, modules, text and pictures)'
  if (rel.trim() !== rel || /[\r\n\t]/.test(rel) || !usablePath(rel)) return 'files.txt cannot name it'
  if (size > MAX_FILE_BYTES) return `larger than ${MAX_FILE_BYTES / (1024 * 1024)} MiB, which the page does not load`
  return null
}

// The file's bytes into a new file, read through a descriptor that took no
// link and is a regular file (no FIFO to block on).
function copyFile(from, to) {
  const input = fs.openSync(from, O_RDONLY | O_NOFOLLOW | O_NONBLOCK)
  try {
    if (!fs.fstatSync(input).isFile()) return false
    const output = fs.openSync(to, 'wx')
    try {
      const buffer = Buffer.alloc(1 << 20)
      for (let n; (n = fs.readSync(input, buffer, 0, buffer.length, null)) > 0;) fs.writeSync(output, buffer, 0, n)
    } finally {
      fs.closeSync(output)
    }
    return true
  } finally {
    fs.closeSync(input)
  }
}

// Copies the tree; returns the relative paths of the files copied.
export function copyMagazine(from, to, say = (text) => console.error('web/build.sh: ' + text)) {
  const copied = []
  const archive = ownFile(path.join(from, 'data')) === true ? ownFile(path.join(from, 'data', 'orbex.dat')) : null
  const music = musicNames(archive instanceof Uint8Array ? archive : new Uint8Array())
  const walk = (dirBytes, outDir, prefix) => {
    fs.mkdirSync(outDir)
    const entries = fs.readdirSync(dirBytes, { withFileTypes: true, encoding: 'buffer' })
    entries.sort((a, b) => Buffer.compare(a.name, b.name))
    for (const entry of entries) {
      const name = entry.name.toString('utf8')
      const rel = prefix + name
      const source = Buffer.concat([dirBytes, Buffer.from('/'), entry.name])
      if (rel === 'files.txt') {
        // Written afresh below.
      } else if (!Buffer.from(name).equals(entry.name)) {
        say(`left out ${shown(rel)}: its name is not UTF-8`)
      } else if (entry.isSymbolicLink()) {
        say(`left out ${shown(rel)}: a link`)
      } else if (entry.isDirectory()) {
        walk(source, path.join(outDir, name), rel + '/')
      } else if (!entry.isFile()) {
        say(`left out ${shown(rel)}: not a regular file`)
      } else if (!LEFTOVERS.has(rel)) {
        const why = leftOut(rel, fs.lstatSync(source).size, music)
        if (why) say(`left out ${shown(rel)}: ${why}`)
        else if (copyFile(source, path.join(outDir, name))) copied.push(rel)
        else say(`left out ${shown(rel)}: not a regular file`)
      }
    }
  }
  walk(Buffer.from(path.resolve(from)), to, '')
  return copied
}

// A file on disk as a zip source, read a piece at a time.
function fileSource(fd) {
  return {
    size: fs.fstatSync(fd).size,
    read: async (offset, length) => {
      const buffer = Buffer.alloc(length)
      const got = fs.readSync(fd, buffer, 0, length, offset)
      return new Uint8Array(buffer.buffer, buffer.byteOffset, got)
    },
  }
}

// Unpacks the zip's files into to, as copyMagazine copies a folder's:
// { copied, own }, own being the zip's files.txt or null. Throws a ZipError.
export async function unzipMagazine(from, to, say = (text) => console.error('web/build.sh: ' + text)) {
  const fd = fs.openSync(from, fs.constants.O_RDONLY | fs.constants.O_NONBLOCK)
  try {
    if (!fs.fstatSync(fd).isFile()) throw new ZipError('not-zip', 'it is neither a folder nor a zip file.')
    const source = fileSource(fd)
    const files = await listZip(source)
    const archive = files.find((file) => file.path === 'data/orbex.dat')
    const music = musicNames(archive ? await unpack(source, archive) : new Uint8Array())
    fs.mkdirSync(to)
    const copied = []
    let own = null
    for (const file of files) {
      const rel = file.path
      if (rel === 'files.txt') {
        own = new TextDecoder().decode(await unpack(source, file))
      } else if (!LEFTOVERS.has(rel)) {
        const why = leftOut(rel, file.size, music)
        if (why) {
          say(`left out ${shown(rel)}: ${why}`)
        } else {
          const bytes = await unpack(source, file)
          fs.mkdirSync(path.join(to, path.dirname(rel)), { recursive: true })
          fs.writeFileSync(path.join(to, rel), bytes, { flag: 'wx' })
          copied.push(rel)
        }
      }
    }
    return { copied, own }
  } finally {
    fs.closeSync(fd)
  }
}

// The bytes of the magazine's own file at file (a regular file, not a
// link), or null; for a folder, true when it is one (not a link).
function ownFile(file) {
  try {
    const fd = fs.openSync(file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK)
    try {
      const st = fs.fstatSync(fd)
      return st.isDirectory() ? true : st.isFile() ? fs.readFileSync(fd) : null
    } finally {
      fs.closeSync(fd)
    }
  } catch {
    return null
  }
}

// The magazine's own files.txt, or null.
function ownList(from) {
  return ownFile(path.join(from, 'files.txt'))?.toString('utf8') ?? null
}

// The lines of files.txt: the magazine's own list (own, or null) without
// what the site lacks, or every file copied.
export function fileList(own, copied, say = (text) => console.error('web/build.sh: ' + text)) {
  if (own === null) return [...copied].sort()
  const present = new Set(copied)
  const listed = new Set()
  for (const line of own.split(/\r?\n/)) {
    const name = line.split('\t')[0].trim()
    if (name === '' || name.startsWith('#') || listed.has(name)) continue
    if (present.has(name)) listed.add(name)
    else say(`files.txt names ${name}, which is not in the site: left out of the list`)
  }
  return [...listed]
}

// The magazine (a folder or a zip) into to, with its files.txt. Throws a
// ZipError for a zip that is refused, leaving nothing in to.
export async function copyInto(from, to, say = (text) => console.error('web/build.sh: ' + text)) {
  let copied
  let own
  if (fs.statSync(from).isDirectory()) {
    copied = copyMagazine(from, to, say)
    own = ownList(from)
  } else {
    try {
      ;({ copied, own } = await unzipMagazine(from, to, say))
    } catch (e) {
      fs.rmSync(to, { recursive: true, force: true })
      throw e
    }
  }
  const names = fileList(own, copied, say)
  if (names.length > MAX_FILES) say(`files.txt lists ${names.length} files; the page loads only the first ${MAX_FILES}`)
  const lines = names.map((name) => storeCompressed(to, name, copied))
  fs.writeFileSync(path.join(to, 'files.txt'), lines.map((line) => line + '\n').join(''), { flag: 'wx' })
}

// The file as gzip(1) packs it, which finds a tenth less for the start
// picture than node's zlib; null without gzip.
function gzipped(file) {
  const run = spawnSync('gzip', ['-9', '-n', '-c', file], { maxBuffer: 2 * MAX_FILE_BYTES })
  return run.status === 0 ? run.stdout : null
}

// Whatever gzip makes a tenth and a kibibyte smaller is stored compressed,
// as NAME.gz in NAME's place, which the page inflates: a host that
// compresses nothing then sends little too. files.txt's line for the file:
// its name, its size, and the compressed copy's size where there is one.
export function storeCompressed(to, name, copied) {
  const file = path.join(to, name)
  const bytes = fs.readFileSync(file)
  const packed = gzipped(file) ?? zlib.gzipSync(bytes, { level: 9 })
  const worth = packed.length <= bytes.length * 0.9 && bytes.length - packed.length >= 1024
  if (!worth || copied.includes(name + '.gz')) return `${name}\t${bytes.length}`
  fs.writeFileSync(file + '.gz', packed, { flag: 'wx' })
  fs.rmSync(file)
  return `${name}\t${bytes.length}\t${packed.length}`
}

async function main([from, to]) {
  if (!from || !to) {
    console.error('usage: copy-magazine.mjs MAGAZINE_DIR|MAGAZINE.zip OUT_DIR')
    return 2
  }
  try {
    await copyInto(from, to)
  } catch (e) {
    if (!(e instanceof ZipError)) throw e
    console.error(`web/build.sh: cannot open ${from}: ${e.message}`)
    return 1
  }
  return 0
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  process.exitCode = await main(process.argv.slice(2))
}
