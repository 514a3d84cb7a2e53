// The magazine's files: its folder (on this site only), the list in
// files.txt, each file fetched within the viewer's limits and put into the
// program's file system before main, and the reader's orbex.cfg kept in the
// browser. Nothing here needs a document, so it also runs in node.

export const FOLDER = '/magazine'
export const SCRIPT_PATH = '/orbex/script.txt'
// A magazine has a few dozen files; a list of 100,000 would keep the page
// loading for minutes.
export const MAX_FILES = 4096
// The desktop plays no module larger than this, and no other file of a
// magazine comes near it.
export const MAX_FILE_BYTES = 64 * 1024 * 1024
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

// files.txt as the paths to fetch: each once, in order, at most MAX_FILES;
// cut says that more were listed.
export function parseFileList(text, cut = false) {
  const names = [...new Set(text.split(/\r?\n/).map((s) => s.trim()).filter(usablePath))]
  if (names.length > MAX_FILES) return { names: names.slice(0, MAX_FILES), cut: true }
  return { names, cut }
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

function mebibytes(n) {
  return `${n / (1024 * 1024)} MiB`
}

// Fetches the magazine's files (six at a time) and the script. early is the
// page head's request for files.txt, used when it asked for the same list;
// notice tells the reader what is left out. Files that cannot be fetched are
// missing for the viewer, as a listed file that is not there.
export async function fetchMagazine({ folder, script, pageUrl, early }, stats, notice) {
  const started = performance.now()
  const files = new Map()
  let list = { names: [], cut: false }
  const listUrl = folder + 'files.txt'
  try {
    const response = await (early?.url === listUrl ? early.response : fetch(listUrl, { cache: 'no-cache' }))
    if (response.ok) list = await readList(response)
    else console.warn(`orbex: no files.txt in ${folder} (${response.status})`)
  } catch (e) {
    console.warn(`orbex: cannot read ${listUrl}: ${e.message}`)
  }
  if (list.cut) {
    notice(`The magazine lists too many files: only the first ${list.names.length.toLocaleString('en')} are loaded.`)
  }
  const names = list.names
  let next = 0
  const worker = async () => {
    while (next < names.length) {
      const name = names[next++]
      try {
        const response = await fetch(folder + name.split('/').map(encodeURIComponent).join('/'))
        const data = response.ok ? await readCapped(response, MAX_FILE_BYTES) : undefined
        if (data) {
          files.set(name, data)
        } else {
          stats.missing.push(name)
          if (data === null) notice(`${name} is larger than ${mebibytes(MAX_FILE_BYTES)} and is not loaded.`)
        }
      } catch {
        stats.missing.push(name)
      }
    }
  }
  await Promise.all(Array.from({ length: 6 }, worker))
  const scriptBytes = await fetchScript(script, pageUrl)
  stats.filesMs = performance.now() - started
  stats.files = files.size
  return { files, script: scriptBytes }
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

// Runs before main: the magazine in the working folder, the script, the
// reader's saved orbex.cfg, the environment. The file system takes the
// fetched bytes as they are, and the page lets go of them.
export function installFiles(Module, { files, script }, { scripted, clock, config }) {
  const FS = Module.FS
  FS.mkdirTree(FOLDER)
  for (const [name, data] of files) {
    const path = `${FOLDER}/${name}`
    FS.mkdirTree(path.slice(0, path.lastIndexOf('/')))
    FS.writeFile(path, data, { canOwn: true })
  }
  files.clear()
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
