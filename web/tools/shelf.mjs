#!/usr/bin/env node
// Puts several magazines on one site, which share its program, with a shelf
// page to choose from (web/build.sh, given two or more magazines):
//   node --import ./web/tools/generated.mjs web/tools/shelf.mjs SITE_DIR MAGAZINE...
// Each magazine, a folder or a zip, is copied as copy-magazine.mjs copies
// one, into SITE_DIR/issues/NAME/ (NAME is the folder's name, or the zip's
// without .zip). Its start picture (data/begin.raw, 640×480 RGB), as the
// viewer shows it, becomes its cover, SITE_DIR/covers/NAME.png. shelf.html
// lists the issues in the order given, each opening
// index.html?magazine=issues/NAME/ (NAME encoded, issueHref), and index.html without an issue named
// shows the shelf. Exits 1, naming the magazine, when one is refused.
import fs from 'node:fs'
import path from 'node:path'
import zlib from 'node:zlib'
import { fileURLToPath, pathToFileURL } from 'node:url'

import { copyInto } from './copy-magazine.mjs'
import { SCREEN_HEIGHT as HEIGHT, SCREEN_WIDTH as WIDTH } from '../src/constants.mjs'
import { encodePng } from '../src/png.mjs'
import { ZipError, badName } from '../src/zip.mjs'

const web = path.dirname(path.dirname(fileURLToPath(import.meta.url)))
export const SHELF = 'shelf.html'
const START_PICTURE = 'data/begin.raw'

export function issueName(magazine) {
  const base = path.basename(path.resolve(magazine))
  return fs.statSync(magazine).isDirectory() ? base : base.replace(/\.zip$/i, '')
}

// Why a name cannot be an issue's folder on the site, or null.
function badIssueName(name) {
  if (name === '' || name.startsWith('.') || /[\x00-\x1f\x7f]/.test(name)) return 'it cannot name a folder of the site'
  return badName(name)
}

// The start picture as the viewer shows it: missing, it stays black; short,
// it ends in white. As RGBA words for encodePng. In a site's copy of the
// magazine it may be stored gzipped beside (FILE.gz).
export function startPicture(file) {
  const rgb = new Uint8Array(WIDTH * HEIGHT * 3)
  let bytes = plainFile(file)
  if (bytes === null) {
    const packed = plainFile(file + '.gz')
    try {
      bytes = packed && zlib.gunzipSync(packed, { maxOutputLength: rgb.length })
    } catch {
      bytes = null
    }
  }
  if (bytes !== null) {
    rgb.set(bytes.subarray(0, rgb.length))
    rgb.fill(0xff, Math.min(bytes.length, rgb.length))
  }
  const pixels = new Uint32Array(WIDTH * HEIGHT)
  for (let i = 0; i < pixels.length; ++i) {
    pixels[i] = (rgb[3 * i] | (rgb[3 * i + 1] << 8) | (rgb[3 * i + 2] << 16) | 0xff000000) >>> 0
  }
  return pixels
}

// A regular file's bytes, never through a link or from a FIFO; null without.
function plainFile(file) {
  try {
    const fd = fs.openSync(file, fs.constants.O_RDONLY | fs.constants.O_NOFOLLOW | fs.constants.O_NONBLOCK)
    try {
      return fs.fstatSync(fd).isFile() ? fs.readFileSync(fd) : null
    } finally {
      fs.closeSync(fd)
    }
  } catch {
    return null
  }
}

function escape(text) {
  return text.replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`)
}

// The address of an issue's page: its folder as a path, each character a
// path cannot hold as it is encoded ("?", "#", "%", a space), then that path
// encoded again as the query's value, so the page's parameter gives back
// the path and the path the folder.
export function issueHref(name) {
  const folder = `issues/${encodeURIComponent(name)}/`
  return `index.html?magazine=${encodeURIComponent(folder).replace(/%2F/g, '/')}`
}

export function shelfPage(names) {
  const items = names.map((name) => {
    const href = issueHref(name)
    const cover = `covers/${encodeURIComponent(name)}.png`
    return `<li>
  <h2><a href="${escape(href)}">${escape(name)}</a></h2>
  <img src="${escape(cover)}" alt="The start picture of ${escape(name)}" width="${WIDTH}" height="${HEIGHT}" loading="lazy">
</li>`
  })
  return `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src 'self'; style-src 'self'; base-uri 'none'; form-action 'none'">
<title>ORBEX 5: the issues</title>
<link rel="stylesheet" href="shelf.css">
</head>
<body>
<main>
<h1>ORBEX 5</h1>
<p>${names.length} issues. Choose one to read it.</p>
<ul id="orbex-shelf">
${items.join('\n')}
</ul>
</main>
</body>
</html>
`
}

// index.html, told where the shelf is.
function pointToShelf(site) {
  const file = path.join(site, 'index.html')
  const html = fs.readFileSync(file, 'utf8')
  const head = '<meta charset="utf-8">\n'
  if (!html.includes(head)) throw new Error(`${file} has no ${head.trim()}`)
  fs.writeFileSync(file, html.replace(head, `${head}<meta name="orbex-shelf" content="${SHELF}">\n`))
}

async function main([site, ...magazines]) {
  if (!site || magazines.length === 0) {
    console.error('usage: shelf.mjs SITE_DIR MAGAZINE...')
    return 2
  }
  const names = magazines.map(issueName)
  for (const [i, name] of names.entries()) {
    const why = badIssueName(name)
    if (why) {
      console.error(`web/build.sh: the issue ${JSON.stringify(name)} (${magazines[i]}): ${why}; rename it`)
      return 1
    }
    if (names.indexOf(name) !== i) {
      console.error(`web/build.sh: two issues are named ${name} (${magazines[names.indexOf(name)]}, ${magazines[i]}); ` +
        'rename one')
      return 1
    }
  }
  for (const dir of ['issues', 'covers']) fs.mkdirSync(path.join(site, dir), { recursive: true })
  for (const [i, name] of names.entries()) {
    const folder = path.join(site, 'issues', name)
    try {
      await copyInto(magazines[i], folder)
    } catch (e) {
      if (!(e instanceof ZipError)) throw e
      console.error(`web/build.sh: cannot open ${magazines[i]}: ${e.message}`)
      return 1
    }
    const png = await encodePng(startPicture(path.join(folder, START_PICTURE)))
    fs.writeFileSync(path.join(site, 'covers', name + '.png'), Buffer.from(await png.arrayBuffer()))
  }
  fs.copyFileSync(path.join(web, 'shelf.css'), path.join(site, 'shelf.css'))
  fs.writeFileSync(path.join(site, SHELF), shelfPage(names))
  pointToShelf(site)
  return 0
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  process.exitCode = await main(process.argv.slice(2))
}
