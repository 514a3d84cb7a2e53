// The site's service worker: a magazine opened once opens again without a
// network. web/build.sh writes it into the site with the site's version (a
// hash of all its other files) and their list.
//
// - The site's own files (the page, the program, the music player, the
//   site's magazine) are kept under that version and answered from there; a
//   rebuilt site is a new version, which replaces the old one whole.
// - A magazine opened from another folder of the site (?magazine=) comes
//   from the network while there is one, and is kept for when there is
//   none: its files.txt, and the files that list names. A file the server
//   no longer has, or the list no longer names, is let go.
// - Everything else goes to the network as if there were no worker, and is
//   kept nowhere: a magazine's file opened as a page above all, which must
//   come with the server's own policy.
//
// It takes no messages: in Chromium, one that reached the worker in charge
// while its successor installed at times kept the successor waiting for
// good, and every navigation of the site with it.
//
// A response is given as the server sent it, its headers (the magazine's
// files' security policy) included; the page itself is the only answer to
// an address of the page.
'use strict'

const VERSION = '@VERSION@'
const SITE_FILES = '@SITE_FILES@'
const LIST = 'files.txt'
// Caches of other versions of this site are removed; those of other sites
// on the same host are theirs.
const PREFIX = `orbex5 ${self.registration.scope} `
const CACHE = PREFIX + VERSION
const SITE = new Set(SITE_FILES.map((file) => new URL(file, self.registration.scope).href))
const PAGE = new URL('index.html', self.registration.scope).href
const SHELF = new URL('shelf.html', self.registration.scope).href

const inScope = (url) => url.href.startsWith(self.registration.scope)
const withoutQuery = (url) => url.href.split(/[?#]/)[0]
const pageAddress = (url) => url.pathname === new URL(self.registration.scope).pathname || withoutQuery(url) === PAGE

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(SITE_FILES.map((file) => new Request(file, { cache: 'no-cache' }))))
    .then(() => self.skipWaiting()))
})

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith(PREFIX) && n !== CACHE).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()))
})

// Kept when it is whole and the site's own.
function keepable(response) {
  return response.ok && response.status === 200 && response.type === 'basic'
}

// The files a files.txt lists, as addresses in its folder (the page's rule:
// relative paths inside the folder; a line may go on, after tabs, with the
// file's size and that of its compressed copy, NAME.gz, which is fetched in
// its place).
function listed(folder, text) {
  const urls = new Set()
  for (const line of text.split(/\r?\n/)) {
    const [path, , packed] = line.split('\t')
    const name = path.trim()
    if (name === '' || name.startsWith('#') || name.startsWith('/') || name.includes('\\')) continue
    const parts = name.split('/')
    if (parts.some((part) => part === '' || part === '.' || part === '..')) continue
    const url = folder + parts.map(encodeURIComponent).join('/')
    urls.add(/^\d+$/.test(packed ?? '') ? url + '.gz' : url)
  }
  return urls
}

// The magazines opened: each kept files.txt by its folder, with the
// addresses it lists; read again from the cache when the worker starts.
let magazines = null

async function openedMagazines(cache) {
  if (magazines) return magazines
  const found = new Map()
  for (const request of await cache.keys()) {
    const url = withoutQuery(new URL(request.url))
    if (!url.endsWith('/' + LIST) || SITE.has(url)) continue
    const kept = await cache.match(request)
    const folder = url.slice(0, -LIST.length)
    if (kept) found.set(folder, listed(folder, await kept.text()))
  }
  magazines ??= found
  return magazines
}

// A files.txt from the network: kept, and what it no longer lists let go.
async function keepList(cache, request, url, response) {
  const opened = await openedMagazines(cache)
  const folder = withoutQuery(url).slice(0, -LIST.length)
  const now = listed(folder, await response.clone().text())
  for (const gone of opened.get(folder) ?? []) if (!now.has(gone)) await cache.delete(gone)
  opened.set(folder, now)
  await cache.put(request, response.clone())
}

// A magazine's list or file: from the network, kept; a file that is gone
// is let go; without a network, what was kept.
async function fromNetworkOrKept(cache, request, url, isList) {
  let response
  try {
    response = await fetch(request)
  } catch (e) {
    const kept = await cache.match(request, { ignoreSearch: true })
    if (kept) return kept
    throw e
  }
  if (keepable(response)) {
    if (isList) await keepList(cache, request, url, response)
    else await cache.put(request, response.clone())
  } else if (response.status === 404 || response.status === 410) {
    await cache.delete(request, { ignoreSearch: true })
  }
  return response
}

async function answer(request, url) {
  const cache = await caches.open(CACHE)
  if (pageAddress(url)) return (await cache.match(PAGE)) ?? fetch(request)
  if (SITE.has(withoutQuery(url))) return (await cache.match(request, { ignoreSearch: true })) ?? fetch(request)
  const isList = withoutQuery(url).endsWith('/' + LIST)
  if (isList) return fromNetworkOrKept(cache, request, url, true)
  const opened = await openedMagazines(cache)
  const address = withoutQuery(url)
  for (const files of opened.values()) {
    if (files.has(address)) return fromNetworkOrKept(cache, request, url, false)
  }
  return fetch(request)
}

self.addEventListener('fetch', (event) => {
  const request = event.request
  const url = new URL(request.url)
  if (request.method !== 'GET' || url.origin !== self.location.origin || !inScope(url)) return
  if (request.headers.has('range')) return
  // A document is the page or the shelf, or it is none of the worker's.
  if (request.mode === 'navigate' && !pageAddress(url) && withoutQuery(url) !== SHELF) return
  event.respondWith(answer(request, url))
})
