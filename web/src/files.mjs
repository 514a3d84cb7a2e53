// The magazine's files: its folder (on this site only), the list in
// files.txt (src/loader.mjs fetches what it names, within the viewer's
// limits), the program's file system set up before main, and the reader's
// orbex.cfg kept in the browser. Nothing here needs a document, so it also
// runs in node.
import { ANY_FILE_LIMIT, MUSIC_LINK_CODE, MUSIC_NAME_MAX } from './constants.mjs'

export const FOLDER = '/magazine'
export const SCRIPT_PATH = '/orbex/script.txt'
// A magazine has a few dozen files; a list of 100,000 would keep the page
// loading for minutes.
export const MAX_FILES = 4096
// The desktop plays no module larger than this, and no other file of a
// magazine comes near it.
export const MAX_FILE_BYTES = ANY_FILE_LIMIT
// A magazine from the reader's disk is held in the page's memory whole: a
// zip of many large files (a zip bomb) would take the browser down first.
export const MAX_TOTAL_BYTES = 1024 * 1024 * 1024
// files.txt itself: MAX_FILES paths of 256 bytes.
export const MAX_LIST_BYTES = MAX_FILES * 256

const decoder1252 = new TextDecoder('windows-1252')
// The five bytes Windows-1252 leaves undefined, shown as the desktop shows them.
const HOLES_1252 = /[\u0081\u008d\u008f\u0090\u009d]/g

export function decode1252(bytes) {
  return decoder1252.decode(bytes).replace(HOLES_1252, '\ufffd')
}

export function withSlash(url) {
  return url.endsWith('/') ? url : url + '/'
}

export function sameSite(url, pageUrl) {
  return new URL(url).origin === new URL(pageUrl).origin
}

// The magazine folder ?magazine= names (relative to the page): { url } on
// the page's own site, else { error } for the reader. Another site's
// magazine would show its text and pictures under this site's address.
export function magazineFolder(param, pageUrl) {
  let url
  try {
    url = new URL(withSlash(param || 'magazine/'), pageUrl)
  } catch {
    return { error: `This page cannot show a magazine from "${param.slice(0, 200)}": that is no address.` }
  }
  if (!/^https?:$/.test(url.protocol) || !sameSite(url, pageUrl)) {
    const where = /^https?:$/.test(url.protocol) ? url.origin : url.protocol
    return { error: `This page shows only magazines from its own site, not from ${where}.` }
  }
  return { url: url.href }
}

// Paths inside the magazine folder only.
export function usablePath(name) {
  return name !== '' && !name.startsWith('#') && !name.startsWith('/') && !name.includes('\\') &&
    name.split('/').every((part) => part !== '' && part !== '.' && part !== '..')
}

// files.txt as the files to fetch: each once, in order, at most MAX_FILES;
// cut says that more were listed. A line is a path, which may be followed,
// after a tab, by the file's size, and after another by the size of the
// compressed copy (PATH.gz, gzip) the site stores in its place; web/build.sh
// writes them so, a list made by hand has paths only.
export function parseFileList(text, cut = false) {
  const entries = []
  const seen = new Set()
  for (const line of text.split(/\r?\n/)) {
    const [path, size, packed] = line.split('\t')
    const name = path.trim()
    if (!usablePath(name) || seen.has(name)) continue
    seen.add(name)
    const entry = { name, compressed: false }
    if (/^\d+$/.test(size ?? '')) entry.size = Number(size)
    if (/^\d+$/.test(packed ?? '') && entry.size !== undefined) {
      entry.packed = Number(packed)
      entry.compressed = true
    }
    entries.push(entry)
  }
  if (entries.length > MAX_FILES) return { entries: entries.slice(0, MAX_FILES), cut: true }
  return { entries, cut }
}

const MUSIC_NAME_END = 0x22 // '"'

// The files the archive's music links name, as paths in the magazine, in
// the order the links come: a link is its code, the name (1 to 15 bytes), a
// quote, six colour bytes and its text up to the code again.
export function musicNames(archive) {
  const names = new Set()
  for (let at = archive.indexOf(MUSIC_LINK_CODE); at >= 0;) {
    const end = archive.indexOf(MUSIC_NAME_END, at + 1)
    if (end < 0) break
    const length = end - at - 1
    if (length < 1 || length > MUSIC_NAME_MAX) {
      at = archive.indexOf(MUSIC_LINK_CODE, at + 1)
      continue
    }
    const name = Array.from(archive.subarray(at + 1, end), (b) => String.fromCharCode(b)).join('')
    const parts = name.split('/').filter((part) => part !== '' && part !== '.')
    if (!name.startsWith('/') && !parts.includes('..')) names.add(parts.join('/'))
    const close = archive.indexOf(MUSIC_LINK_CODE, end + 7)
    at = close < 0 ? -1 : archive.indexOf(MUSIC_LINK_CODE, close + 1)
  }
  return names
}

const GZIP = [0x1f, 0x8b]

// A stream inflated when its first bytes are gzip's (a file stored
// compressed, which a host may also have sent inflated already), else as
// it is.
export async function ungzipped(stream) {
  const [probe, whole] = stream.tee()
  const reader = probe.getReader()
  const { value } = await reader.read()
  reader.cancel().catch(() => {})
  const gzipped = value !== undefined && value[0] === GZIP[0] && value[1] === GZIP[1]
  return gzipped ? whole.pipeThrough(new DecompressionStream('gzip')) : whole
}

// A stream whose chunks are counted, their bytes told to counted(n), as
// they pass.
export function counting(stream, counted) {
  return stream.pipeThrough(new TransformStream({
    transform(chunk, controller) {
      counted(chunk.length)
      controller.enqueue(chunk)
    },
  }))
}

// At most limit bytes of a body: { chunks, size, over }, over when it is
// longer (the rest is not read; with head, the first limit bytes are).
// A declared length is taken at its word only for a body that is not
// encoded: a compressed one grows as it is read.
async function readBody(response, limit, head = false) {
  const declared = Number(response.headers.get('content-length') ?? NaN)
  const encoded = (response.headers.get('content-encoding') ?? 'identity') !== 'identity'
  if (!encoded && Number.isFinite(declared)) {
    if (declared <= limit) {
      const data = new Uint8Array(await response.arrayBuffer())
      return { chunks: [data], size: data.length, over: false }
    }
    if (!head) {
      response.body?.cancel().catch(() => {})
      return { chunks: [], size: 0, over: true }
    }
  }
  const chunks = []
  let size = 0
  const reader = response.body?.getReader()
  while (reader) {
    const { done, value } = await reader.read()
    if (done) break
    if (size + value.length > limit) {
      chunks.push(value.subarray(0, limit - size))
      reader.cancel().catch(() => {})
      return { chunks, size: limit, over: true }
    }
    chunks.push(value)
    size += value.length
  }
  return { chunks, size, over: false }
}

function joined({ chunks, size }) {
  if (chunks.length === 1) return chunks[0]
  const bytes = new Uint8Array(size)
  let at = 0
  for (const chunk of chunks) {
    bytes.set(chunk, at)
    at += chunk.length
  }
  return bytes
}

// The whole body, or null when it is larger than limit.
export async function readCapped(response, limit) {
  const body = await readBody(response, limit)
  return body.over ? null : joined(body)
}

// files.txt, read up to MAX_LIST_BYTES: a longer one keeps its first whole lines.
async function readList(response) {
  const body = await readBody(response, MAX_LIST_BYTES, true)
  let text = new TextDecoder().decode(joined(body))
  if (body.over) text = text.slice(0, Math.max(0, text.lastIndexOf('\n')))
  return parseFileList(text, body.over)
}

// The magazine's list: { entries, cut, url }, url null when there is none
// (every file is then missing). early is the page head's request for
// files.txt, used when it asked for the same list.
export async function fetchFileList(folder, early) {
  const listUrl = folder + 'files.txt'
  try {
    const response = await (early?.url === listUrl ? early.response : fetch(listUrl, { cache: 'no-cache' }))
    if (response.ok) return { ...(await readList(response)), url: listUrl }
    console.warn(`orbex: no files.txt in ${folder} (${response.status})`)
  } catch (e) {
    console.warn(`orbex: cannot read ${listUrl}: ${e.message}`)
  }
  return { entries: [], cut: false, url: null }
}

// The input script ?script= names, on this site only; null without one, or
// when it cannot be fetched (the program then refuses it).
export async function fetchScript(script, pageUrl) {
  if (script === null) return null
  try {
    const url = new URL(script, pageUrl)
    if (!sameSite(url, pageUrl)) throw new Error('not on this site')
    const response = await fetch(url, { cache: 'no-cache' })
    if (response.ok) return await readCapped(response, MAX_FILE_BYTES)
    console.warn(`orbex: script ${script}: ${response.status}`)
  } catch (e) {
    console.warn(`orbex: script ${script}: ${e.message}`)
  }
  return null
}

// A file of the magazine into the program's file system, taken as it is.
export function installFile(FS, name, data) {
  const path = `${FOLDER}/${name}`
  FS.mkdirTree(path.slice(0, path.lastIndexOf('/')))
  FS.writeFile(path, data, { canOwn: true })
}

// Runs before main: the magazine folder as the working folder (its files
// come as they arrive, installFile), the script, the reader's saved
// orbex.cfg, the environment.
export function installFiles(Module, { script }, { scripted, clock, config }) {
  const FS = Module.FS
  FS.mkdirTree(FOLDER)
  if (config) FS.writeFile(`${FOLDER}/orbex.cfg`, config)
  if (scripted) {
    FS.mkdirTree(SCRIPT_PATH.slice(0, SCRIPT_PATH.lastIndexOf('/')))
    // A script that could not be fetched stays missing: the program refuses it.
    if (script) FS.writeFile(SCRIPT_PATH, script)
    Module.ENV.ORBEX_SCRIPT = SCRIPT_PATH
  }
  if (clock !== null) Module.ENV.ORBEX_CLOCK = clock
  Module.ENV.ORBEX_MAGAZINE = FOLDER
  FS.chdir(FOLDER)
}

// Calls written(path) whenever a file the program wrote to is closed.
export function watchWrites(FS, written) {
  const close = FS.close
  FS.close = (stream) => {
    const path = (stream.flags & 3) !== 0 ? stream.path : null
    const result = close(stream)
    if (path) written(path)
    return result
  }
}

// orbex.cfg as the reader left it, kept in the browser's storage as hex.
export function savedConfig(key) {
  try {
    const hex = localStorage.getItem(key)
    if (hex === null || !/^([0-9a-f]{2})*$/.test(hex)) return null
    return Uint8Array.from(hex.match(/../g) || [], (h) => parseInt(h, 16))
  } catch {
    return null
  }
}

export function keepConfig(key, data) {
  try {
    localStorage.setItem(key, Array.from(data, (b) => b.toString(16).padStart(2, '0')).join(''))
  } catch (e) {
    console.warn('orbex: cannot keep orbex.cfg:', e.message)
  }
}
