#!/usr/bin/env node
// Copies a magazine folder into a site for web/build.sh:
//   node web/copy-magazine.mjs MAGAZINE_DIR OUT_DIR
// OUT_DIR must not exist yet. Only folders and regular files are copied,
// never a link (a link would serve whatever it points to); files a browser
// would run as a page (.html, .svg, ...) are left out, and so are names
// files.txt cannot hold and files larger than the page loads. Each file left
// out is named on standard error. files.txt lists what was copied: the
// magazine's own, in its order, without what is not in the site, or else
// every file copied.
import fs from 'node:fs'
import path from 'node:path'
import { pathToFileURL } from 'node:url'

import { MAX_FILES, MAX_FILE_BYTES, usablePath } from './src/files.mjs'

// Read by a browser as a document that may run script.
export const ACTIVE = /\.(html?|svg|js|mjs|xhtml|xml)$/i
// What a desktop run leaves in the folder, of no use to a reader.
const LEFTOVERS = new Set(['orbex.log', 'save.txt'])
const { O_RDONLY, O_NOFOLLOW, O_NONBLOCK } = fs.constants

// A name as it can be shown on one line.
function shown(rel) {
  return /[\x00-\x1f\x7f]/.test(rel) ? JSON.stringify(rel) : rel
}

// Why a regular file of this path (relative, with /) stays out, or null.
function leftOut(rel, size) {
  if (ACTIVE.test(rel)) return 'a browser would run it as a page'
  if (rel.trim() !== rel || /[\r\n]/.test(rel) || !usablePath(rel)) return 'files.txt cannot name it'
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
        const why = leftOut(rel, fs.lstatSync(source).size)
        if (why) say(`left out ${shown(rel)}: ${why}`)
        else if (copyFile(source, path.join(outDir, name))) copied.push(rel)
        else say(`left out ${shown(rel)}: not a regular file`)
      }
    }
  }
  walk(Buffer.from(path.resolve(from)), to, '')
  return copied
}

// The magazine's own files.txt (a regular file, not a link), or null.
function ownList(from) {
  try {
    const fd = fs.openSync(path.join(from, 'files.txt'), O_RDONLY | O_NOFOLLOW | O_NONBLOCK)
    try {
      return fs.fstatSync(fd).isFile() ? fs.readFileSync(fd, 'utf8') : null
    } finally {
      fs.closeSync(fd)
    }
  } catch {
    return null
  }
}

// The lines of files.txt: the magazine's own list without what the site
// lacks, or every file copied.
export function fileList(from, copied, say = (text) => console.error('web/build.sh: ' + text)) {
  const own = ownList(from)
  if (own === null) return [...copied].sort()
  const present = new Set(copied)
  const listed = new Set()
  for (const line of own.split(/\r?\n/)) {
    const name = line.trim()
    if (name === '' || name.startsWith('#') || listed.has(name)) continue
    if (present.has(name)) listed.add(name)
    else say(`files.txt names ${name}, which is not in the site: left out of the list`)
  }
  return [...listed]
}

function main([from, to]) {
  if (!from || !to) {
    console.error('usage: copy-magazine.mjs MAGAZINE_DIR OUT_DIR')
    return 2
  }
  const copied = copyMagazine(from, to)
  const names = fileList(from, copied)
  if (names.length > MAX_FILES) {
    console.error(`web/build.sh: files.txt lists ${names.length} files; the page loads only the first ${MAX_FILES}`)
  }
  fs.writeFileSync(path.join(to, 'files.txt'), names.map((n) => n + '\n').join(''), { flag: 'wx' })
  return 0
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  process.exitCode = main(process.argv.slice(2))
}
