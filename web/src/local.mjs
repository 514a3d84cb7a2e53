// A magazine from the reader's own disk: a folder or a zip file, dropped on
// the page or chosen with its buttons. Nothing leaves the browser: the files
// are read in the page, within the limits of a served magazine (MAX_FILES
// files, none over MAX_FILE_BYTES, MAX_TOTAL_BYTES in all). The page starts
// its program once, so a newly opened magazine is kept in the browser's
// storage for this site (IndexedDB, one at a time) and the page loaded
// again with ?local=NAME, which takes it from there; a reload shows it
// again, until another is opened.
import { MAX_FILES, MAX_FILE_BYTES, MAX_TOTAL_BYTES } from './files.mjs'
import { ZipError, badName, blobSource, listZip, unpack } from './zip.mjs'

// What a desktop run leaves in a magazine folder, as the site's copy leaves
// it out: the page's log and save file start afresh.
const LEFTOVERS = new Set(['orbex.log', 'save.txt'])
// A dropped folder is walked no further than this many entries (a home
// folder dropped by mistake).
const MAX_WALKED = 4 * MAX_FILES
const DATABASE = 'orbex5'
const STORE = 'local'
const KEY = 'magazine'

// Why a magazine cannot be opened, in words that finish "Cannot open NAME: ".
export class LocalError extends Error {}

function mebibytes(n) {
  return `${n / (1024 * 1024)} MiB`
}

// ---- what the reader picked: { name, zip } or { name, files: [{ path, file }] }

// The files of a folder chosen with the folder button (webkitdirectory):
// each path starts with the folder's own name.
export function pickedFolder(fileList) {
  const files = Array.from(fileList, (file) => {
    const path = file.webkitRelativePath || file.name
    return { path: path.slice(path.indexOf('/') + 1), file, top: path.split('/')[0] }
  })
  if (files.length === 0) return null
  return { name: files[0].top, files: files.map(({ path, file }) => ({ path, file })) }
}

function readBatch(reader) {
  return new Promise((resolve, reject) => reader.readEntries(resolve, reject))
}

function entryFile(entry) {
  return new Promise((resolve, reject) => entry.file(resolve, reject))
}

// The files of a dropped folder (a FileSystemDirectoryEntry), up to one
// more than MAX_FILES, so that too many can be told.
export async function walkFolder(folder) {
  const files = []
  const folders = [{ entry: folder, prefix: '' }]
  let walked = 0
  while (folders.length > 0 && files.length <= MAX_FILES && walked < MAX_WALKED) {
    const { entry, prefix } = folders.shift()
    const reader = entry.createReader()
    for (let batch = await readBatch(reader); batch.length > 0; batch = await readBatch(reader)) {
      for (const child of batch) {
        ++walked
        if (child.isDirectory) folders.push({ entry: child, prefix: prefix + child.name + '/' })
        else if (child.isFile) files.push({ path: prefix + child.name, entry: child })
      }
      if (files.length > MAX_FILES || walked >= MAX_WALKED) break
    }
  }
  const taken = []
  for (const { path, entry } of files) {
    try {
      taken.push({ path, file: await entryFile(entry) })
    } catch {
      // Gone or unreadable: missing for the viewer.
    }
  }
  return { name: folder.name, files: taken }
}

// What was dropped: one folder or one file (taken for a zip). The items of
// a drop can be read only while the event is handled, so they are taken
// here at once and read later.
export function pickedDrop(dataTransfer) {
  const items = Array.from(dataTransfer.items ?? []).filter((item) => item.kind === 'file')
  if (items.length !== 1) return null
  const entry = items[0].webkitGetAsEntry?.() ?? null
  if (entry?.isDirectory) return walkFolder(entry)
  const file = items[0].getAsFile()
  return file ? Promise.resolve({ name: file.name, zip: file }) : null
}

// ---- the checks, before the magazine is kept

// The folder's files the page will load, sorted by path; each one left out
// is missing for the viewer and told.
export function chooseFiles(files) {
  const notices = []
  const missing = []
  const sorted = [...files].sort((a, b) => (a.path < b.path ? -1 : a.path > b.path ? 1 : 0))
  const usable = sorted.filter(({ path }) => {
    if (LEFTOVERS.has(path)) return false
    const why = badName(path)
    if (why) notices.push(`${path} is not loaded: ${why}.`)
    return !why
  })
  if (usable.length > MAX_FILES) {
    notices.push(`The magazine holds too many files: only the first ${MAX_FILES.toLocaleString('en')} are loaded.`)
    usable.length = MAX_FILES
  }
  const chosen = []
  let total = 0
  for (const item of usable) {
    if (item.file.size > MAX_FILE_BYTES) {
      missing.push(item.path)
      notices.push(`${item.path} is larger than ${mebibytes(MAX_FILE_BYTES)} and is not loaded.`)
    } else if (total + item.file.size > MAX_TOTAL_BYTES) {
      missing.push(item.path)
      notices.push(`${item.path} is not loaded: the magazine would be larger than ${mebibytes(MAX_TOTAL_BYTES)}.`)
    } else {
      total += item.file.size
      chosen.push(item)
    }
  }
  return { files: chosen, missing, notices }
}

// Every file of the zip unpacked and checked: a broken or hostile zip is
// refused before anything of the page changes. Only what was unpacked is
// kept, never the zip, which may be far larger than its magazine; the zip
// itself counts against the magazine's limit, as it is read whole.
async function unpackZip(zip) {
  if (zip.size > MAX_TOTAL_BYTES) {
    throw new LocalError(`it is larger than ${mebibytes(MAX_TOTAL_BYTES)}, more than a magazine may have in all.`)
  }
  const source = blobSource(zip)
  const files = []
  for (const file of await listZip(source)) files.push({ path: file.path, file: new Blob([await unpack(source, file)]) })
  return files
}

// The magazine as it is kept: checked, and only what will be loaded.
// Throws a LocalError or ZipError.
export async function prepare(picked) {
  if (picked.zip) return { name: picked.name, files: await unpackZip(picked.zip), missing: [], notices: [] }
  const { files, missing, notices } = chooseFiles(picked.files)
  if (files.length === 0 && missing.length === 0) throw new LocalError('the folder is empty.')
  return { name: picked.name, files, missing, notices }
}

// ---- kept in the browser

function openDatabase(indexedDB) {
  return new Promise((resolve, reject) => {
    const request = indexedDB.open(DATABASE, 1)
    request.onupgradeneeded = () => request.result.createObjectStore(STORE)
    request.onsuccess = () => resolve(request.result)
    request.onerror = () => reject(request.error)
  })
}

async function withStore(indexedDB, mode, act) {
  if (!indexedDB) throw new LocalError('this browser keeps no files for a page (it has no IndexedDB).')
  const db = await openDatabase(indexedDB)
  try {
    return await new Promise((resolve, reject) => {
      const transaction = db.transaction(STORE, mode)
      const request = act(transaction.objectStore(STORE))
      transaction.oncomplete = () => resolve(request.result)
      transaction.onerror = () => reject(transaction.error)
      transaction.onabort = () => reject(transaction.error)
    })
  } finally {
    db.close()
  }
}

// Keeps the magazine in place of the one kept before.
export async function keepLocal(record, indexedDB = globalThis.indexedDB) {
  try {
    await withStore(indexedDB, 'readwrite', (store) => store.put(record, KEY))
  } catch (e) {
    if (e instanceof LocalError) throw e
    throw new LocalError(`the browser would not keep it (${e?.message ?? e}).`)
  }
}

export async function keptLocal(indexedDB = globalThis.indexedDB) {
  return withStore(indexedDB, 'readonly', (store) => store.get(KEY))
}

// ---- loaded for the program

// The kept magazine named name as the page's files: { files, missing,
// notices }. Throws a LocalError or ZipError.
export async function loadLocal(name, indexedDB = globalThis.indexedDB) {
  let record
  try {
    record = await keptLocal(indexedDB)
  } catch (e) {
    throw new LocalError(`the browser cannot give it back (${e?.message ?? e}).`)
  }
  if (record?.name !== name) throw new LocalError('this browser keeps it no longer: open it again.')
  const files = new Map()
  const missing = [...record.missing]
  if (record.zip) {
    // Kept whole by an earlier version of the page.
    const source = blobSource(record.zip)
    for (const file of await listZip(source)) files.set(file.path, await unpack(source, file))
  } else {
    for (const { path, file } of record.files) {
      try {
        files.set(path, new Uint8Array(await file.arrayBuffer()))
      } catch {
        missing.push(path)
      }
    }
  }
  return { files, missing, notices: record.notices }
}

// The reader's words for a refusal.
export function refusal(name, error) {
  const why = error instanceof LocalError || error instanceof ZipError ? error.message : `it cannot be read (${error}).`
  return `Cannot open ${name}: ${why}`
}
