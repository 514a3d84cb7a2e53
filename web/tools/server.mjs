#!/usr/bin/env node
// Serves a built site on the loopback address: node web/tools/server.mjs SITE_DIR [PORT]
// (web/serve.sh; default port 8000). PORT 0 takes a free one and prints the
// address it took.
//
// Served as a real host should (web/README.md): nothing is sniffed, and only
// the site's pages (index.html and a shelf's shelf.html, which carry their
// own policies) may load anything; any other file shown as a document, a
// magazine's SVG say, runs no script. The service worker, run as a worker
// only, may fetch from the site. A path
// that goes through a link, or a file that is not a regular file, is not
// found.
import fs from 'node:fs'
import http from 'node:http'
import path from 'node:path'
import { pathToFileURL } from 'node:url'

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.json': 'application/json',
  '.txt': 'text/plain; charset=utf-8',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.webmanifest': 'application/manifest+json',
}

export const HEADERS = { 'X-Content-Type-Options': 'nosniff' }
// Every file but the page: a document without script, plugins or anything
// of the site's.
export const FILE_POLICY = "sandbox; default-src 'none'"
// The site's own pages, each with its own policy.
export const PAGES = ['index.html', 'shelf.html']
// The site's service worker: no document, and a sandbox would take its
// storage; it fetches from the site and nothing else.
export const WORKER_POLICY = "default-src 'none'; connect-src 'self'"

function realOr(file) {
  try {
    return fs.realpathSync(file)
  } catch {
    return path.resolve(file)
  }
}

// The regular file at file, opened without a link anywhere on its way, with
// its size; null when there is none.
async function openPlain(file) {
  const real = await fs.promises.realpath(file).catch(() => null)
  if (real !== file) return null
  let handle
  try {
    handle = await fs.promises.open(file, fs.constants.O_RDONLY | fs.constants.O_NOFOLLOW | fs.constants.O_NONBLOCK)
    const st = await handle.stat()
    if (st.isFile()) return { handle, size: st.size }
  } catch {
    // Not there.
  }
  await handle?.close()
  return null
}

// A static server for dir on a loopback port (0: a free one). For tests,
// extra maps URL paths to files outside it, or, for a path ending in /, to
// a folder. The paths asked for are kept in requests.
export function serve(dir, extra = {}, port = 0) {
  const root = realOr(dir)
  const pages = new Set(PAGES.map((name) => path.join(root, name)))
  const worker = path.join(root, 'service-worker.js')
  const mapped = Object.fromEntries(Object.entries(extra).map(([prefix, to]) => [prefix, realOr(to)]))
  const requests = []
  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://localhost')
    let name
    try {
      name = decodeURIComponent(url.pathname)
    } catch {
      name = ''
    }
    requests.push(name)
    let file = mapped[name]
    for (const [prefix, folder] of Object.entries(mapped)) {
      if (!file && prefix.endsWith('/') && name.startsWith(prefix) && !name.slice(prefix.length).includes('..')) {
        file = path.join(folder, name.slice(prefix.length))
      }
    }
    if (!file && name.startsWith('/') && !name.includes('\0')) {
      if (name.endsWith('/')) name += 'index.html'
      file = path.join(root, path.normalize(name))
      if (!file.startsWith(root + path.sep)) file = null
    }
    const found = file && !file.includes('\0') ? await openPlain(file) : null
    if (!found) {
      res.writeHead(404, { 'Content-Type': 'text/plain', ...HEADERS, 'Content-Security-Policy': FILE_POLICY })
      res.end('not found')
      return
    }
    res.writeHead(200, {
      'Content-Type': TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream',
      'Content-Length': found.size,
      'Cache-Control': 'no-cache',
      ...HEADERS,
      ...(pages.has(file) ? {} : { 'Content-Security-Policy': file === worker ? WORKER_POLICY : FILE_POLICY }),
    })
    const stream = found.handle.createReadStream()
    res.on('close', () => stream.destroy())
    stream.pipe(res)
  })
  // Closed, it answers nothing more, on no connection a browser kept open.
  const close = () => {
    server.close()
    server.closeAllConnections()
  }
  return new Promise((resolve, reject) => {
    server.once('error', reject)
    server.listen(port, '127.0.0.1', () => {
      resolve({ url: `http://127.0.0.1:${server.address().port}/`, requests, close })
    })
  })
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  const [site, port = '8000'] = process.argv.slice(2)
  if (!site) {
    console.error('usage: server.mjs SITE_DIR [PORT]')
    process.exit(2)
  }
  const server = await serve(site, {}, Number(port))
  if (Number(port) === 0) console.log(server.url)
}
