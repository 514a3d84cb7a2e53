// A served magazine's files, fetched in the order the viewer wants them:
// the files its start-up reads before the first frame at once, beside the
// program; every other file once that frame is shown, in the background, the
// start module and the archive first, then the modules its music links name,
// then the rest. The program starts before they are all there: when the
// viewer opens a file still on its way, it waits for it (orbex_wait_file),
// as it would for a slow disk. A file stored compressed on the site (its
// files.txt line says so) is inflated here; a host that sends it inflated
// already loses nothing. A file that cannot be fetched is missing for the
// viewer, as a listed file that is not there.
import { ARCHIVE_FILE, START_MODULE_FILE } from './constants.mjs'
import { MAX_FILE_BYTES, counting, musicNames, readCapped, ungzipped } from './files.mjs'

// Fetches at a time: the start's few files all at once; the rest two by
// two, so that a file the viewer asks for meanwhile is not kept waiting.
const AT_ONCE = 8
const IN_THE_BACKGROUND = 2

function mebibytes(n) {
  return `${n / (1024 * 1024)} MiB`
}

// A name the viewer opens, as the list names it: relative to the magazine
// folder, "." and empty parts dropped; null for a name outside it.
export function listedName(path, folder = '/magazine') {
  let name = path
  if (name.startsWith(folder + '/')) name = name.slice(folder.length + 1)
  else if (name.startsWith('/')) return null
  const parts = name.split('/').filter((part) => part !== '' && part !== '.')
  return parts.includes('..') ? null : parts.join('/')
}

export class MagazineLoader {
  // folder: the magazine's address (ending in /); entries: files.txt's,
  // { name, size, packed, compressed }; fetch: the page's; early: requests
  // made already (the page head's), by address; said(text): a notice for
  // the reader; progress(): bytes arrived changed.
  constructor({
    folder, entries, fetch = (url) => globalThis.fetch(url), early = new Map(), said = () => {}, progress = () => {},
  }) {
    this.folder = folder
    this.fetch = (url) => early.get(url) ?? fetch(url)
    this.said = said
    this.progress = progress
    this.entries = new Map(entries.map((entry) => [entry.name, entry]))
    this.order = entries.map((entry) => entry.name) // the rest, in the list's order
    this.files = new Map() // name: { promise, resolve, state: 'waiting' | 'fetching' | 'done' }
    for (const name of this.order) {
      let resolve
      const promise = new Promise((r) => { resolve = r })
      this.files.set(name, { promise, resolve, state: 'waiting' })
    }
    this.queue = []
    this.running = 0
    this.limit = AT_ONCE
    this.bytesArrived = 0 // bytes on the wire so far
    this.missing = []
    this.urls = [] // addresses fetched, for keeping them offline
    this.installed = null // where an arrived file goes: (name, bytes) => void
    this.held = new Map() // files that arrived before there was a place for them
  }

  // Bytes on the wire, as stored (compressed where the list says so), of
  // these files; null when the list does not tell every size.
  storedBytes(names) {
    let total = 0
    for (const name of names) {
      const entry = this.entries.get(name)
      if (!entry) continue
      const size = entry.compressed ? entry.packed : entry.size
      if (size === undefined) return null
      total += size
    }
    return total
  }

  // The files of the start, fetched now.
  startWith(names) {
    this.want(names.filter((name) => this.entries.has(name)))
  }

  // Every other file, in the order the viewer will want it; called once the
  // first frame is shown.
  fetchTheRest() {
    this.limit = IN_THE_BACKGROUND
    this.want([START_MODULE_FILE, ARCHIVE_FILE].filter((name) => this.entries.has(name)))
    this.want(this.order)
    this.pump()
  }

  // Files to fetch next, ahead of what waits; those on their way or there
  // stay as they are.
  want(names, first = false) {
    const waiting = names.filter((name) => this.files.get(name)?.state === 'waiting')
    if (first) {
      this.queue = [...waiting, ...this.queue.filter((name) => !waiting.includes(name))]
    } else {
      this.queue.push(...waiting.filter((name) => !this.queue.includes(name)))
    }
    this.pump()
  }

  pump() {
    while (this.running < this.limit && this.queue.length > 0) this.begin(this.queue.shift())
  }

  begin(name) {
    const file = this.files.get(name)
    if (file.state !== 'waiting') return
    file.state = 'fetching'
    ++this.running
    this.fetchOne(name).then((bytes) => {
      --this.running
      file.state = 'done'
      this.arrive(name, bytes)
      file.resolve()
      this.pump()
    })
  }

  async fetchOne(name) {
    const entry = this.entries.get(name)
    const path = name.split('/').map(encodeURIComponent).join('/') + (entry.compressed ? '.gz' : '')
    const url = this.folder + path
    try {
      const response = await this.fetch(url)
      if (!response.ok) return null
      const counted = (n) => {
        this.bytesArrived += n
        this.progress()
      }
      // A compressed copy is inflated within the limit: its size is its
      // bytes inflated, whatever it claims.
      const body = entry.compressed ? new Response(await ungzipped(counting(response.body, counted)))
        : new Response(counting(response.body, counted), { headers: response.headers })
      const data = await readCapped(body, MAX_FILE_BYTES)
      if (data === null) this.said(`${name} is larger than ${mebibytes(MAX_FILE_BYTES)} and is not loaded.`)
      else this.urls.push(url)
      return data
    } catch (e) {
      console.warn(`orbex: cannot fetch ${url}: ${e.message ?? e}`)
      return null
    }
  }

  arrive(name, bytes) {
    if (bytes === null) {
      this.missing.push(name)
      return
    }
    // The archive tells which modules the viewer will want next.
    if (name === ARCHIVE_FILE) this.want([...musicNames(bytes)].filter((n) => this.entries.has(n)), true)
    if (this.installed) this.installed(name, bytes)
    else this.held.set(name, bytes)
  }

  // Arrived files go into the program's file system from now on; those
  // that came before go in now.
  installInto(install) {
    this.installed = install
    for (const [name, bytes] of this.held) install(name, bytes)
    this.held.clear()
  }

  // Whether the viewer must wait for the file at path: listed, not there yet.
  onItsWay(path) {
    const name = listedName(path)
    return name !== null && this.files.has(name) && this.files.get(name).state !== 'done'
  }

  // Resolves once the file at path is there or known missing; fetched at
  // once, whatever waits before it, when it was still waiting its turn.
  whenThere(path) {
    const name = listedName(path)
    const file = name !== null ? this.files.get(name) : undefined
    if (!file) return Promise.resolve()
    this.queue = this.queue.filter((queued) => queued !== name)
    this.begin(name)
    return file.promise
  }

  // Resolves once every file is there or known missing.
  all() {
    return Promise.all([...this.files.values()].map((file) => file.promise))
  }
}
