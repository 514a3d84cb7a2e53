#!/usr/bin/env node
// Makes a built site work offline and from a home screen (web/build.sh, as
// its last step): node --import ./web/tools/generated.mjs web/tools/offline-site.mjs SITE_DIR
//
// - icons/orbex-256.png and icons/orbex-512.png for the web app manifest:
//   the big "5" of the start picture, the square packaging/CMakeLists.txt
//   cuts the desktop icons from, enlarged two and four times (every picture
//   pixel a sharp block);
// - service-worker.js from web/service-worker.js, with the site's version (a
//   SHA-256 of every other file's path and bytes) and the list of those
//   files, which it keeps.
import crypto from 'node:crypto'
import fs from 'node:fs'
import path from 'node:path'
import { fileURLToPath } from 'node:url'

import { readPng } from './read-png.mjs'
import { encodePng } from '../src/png.mjs'

const web = path.dirname(path.dirname(fileURLToPath(import.meta.url)))
const root = path.dirname(web)
export const WORKER = 'service-worker.js'
export const ICON_SIZES = [256, 512]

// The square of the start picture the desktop icons are cut from.
export function iconSquare(cmakeText) {
  const m = /set\(ORBEX_ICON_SQUARE\s+(\d+)\s+(\d+)\s+(\d+)\)/.exec(cmakeText)
  if (!m) throw new Error('no ORBEX_ICON_SQUARE in packaging/CMakeLists.txt')
  return { x: +m[1], y: +m[2], side: +m[3] }
}

// The square of picture, scale times as large, as RGBA words for encodePng.
export function enlarge(picture, { x, y, side }, scale) {
  if (x + side > picture.width || y + side > picture.height) throw new Error('the icon square is not in the picture')
  const size = side * scale
  const out = new Uint32Array(size * size)
  for (let row = 0; row < size; ++row) {
    for (let column = 0; column < size; ++column) {
      const at = 3 * ((y + Math.floor(row / scale)) * picture.width + x + Math.floor(column / scale))
      const [r, g, b] = picture.rgb.subarray(at, at + 3)
      out[row * size + column] = (r | (g << 8) | (b << 16) | 0xff000000) >>> 0
    }
  }
  return out
}

async function writeIcons(site) {
  const picture = readPng(fs.readFileSync(path.join(root, 'magazine', 'pictures', 'begin.png')))
  const square = iconSquare(fs.readFileSync(path.join(root, 'packaging', 'CMakeLists.txt'), 'utf8'))
  fs.mkdirSync(path.join(site, 'icons'), { recursive: true })
  for (const size of ICON_SIZES) {
    if (size % square.side !== 0) throw new Error(`icons of ${size} pixels are no whole enlargement`)
    const png = await encodePng(enlarge(picture, square, size / square.side), size, size)
    fs.writeFileSync(path.join(site, 'icons', `orbex-${size}.png`), Buffer.from(await png.arrayBuffer()))
  }
}

// Every file of the site but the worker, as URL paths relative to it, in a
// fixed order.
export function siteFiles(site) {
  const files = []
  const walk = (dir, prefix) => {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
      const name = prefix + entry.name
      if (entry.isDirectory()) walk(path.join(dir, entry.name), name + '/')
      else if (entry.isFile() && name !== WORKER) files.push(name)
    }
  }
  walk(site, '')
  return files
}

export function siteVersion(site, files) {
  const hash = crypto.createHash('sha256')
  for (const file of files) {
    hash.update(file + '\0')
    hash.update(fs.readFileSync(path.join(site, file)))
    hash.update('\0')
  }
  return hash.digest('hex').slice(0, 16)
}

function writeWorker(site) {
  const files = siteFiles(site)
  const urls = files.map((file) => file.split('/').map(encodeURIComponent).join('/'))
  const template = fs.readFileSync(path.join(web, WORKER), 'utf8')
  const worker = template
    .replace("'@VERSION@'", JSON.stringify(siteVersion(site, files)))
    .replace("'@SITE_FILES@'", JSON.stringify(urls))
  fs.writeFileSync(path.join(site, WORKER), worker)
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const [site] = process.argv.slice(2)
  if (!site) {
    console.error('usage: offline-site.mjs SITE_DIR')
    process.exit(2)
  }
  await writeIcons(site)
  writeWorker(site)
}
