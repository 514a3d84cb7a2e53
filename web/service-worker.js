// The site's service worker: a magazine opened once opens again without a
// network. web/build.sh writes it into the site with the site's version (a
// hash of all its other files) and their list. Everything the build made
// (the page, the program, the music player, the site's magazine) is kept
// under that version and answered from there; a rebuilt site is a new
// version, which replaces the old one whole. Any other file of the site (a
// magazine beside the built one) comes from the network while there is one,
// and is kept for when there is none; the page names the files of the
// magazine it shows, so that they are kept even before they are asked for
// again.
//
// A response is given as the server sent it, its headers (the magazine's
// files' security policy) included; the page itself is the only answer to
// an address of the page.
'use strict'

const VERSION = '@VERSION@'
const SITE_FILES = '@SITE_FILES@'
// Caches of other versions of this site are removed; those of other sites
// on the same host are theirs.
const PREFIX = `orbex5 ${self.registration.scope} `
const CACHE = PREFIX + VERSION
// The page loads no more files of a magazine than this.
const MAX_KEPT = 4096

const inScope = (url) => url.href.startsWith(self.registration.scope)
const pageAddress = (url) => url.pathname === new URL(self.registration.scope).pathname ||
  url.href.split(/[?#]/)[0] === new URL('index.html', self.registration.scope).href

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

async function fromNetworkOrKept(request) {
  const cache = await caches.open(CACHE)
  try {
    const response = await fetch(request)
    if (keepable(response)) await cache.put(request, response.clone())
    return response
  } catch (e) {
    const kept = await cache.match(request)
    if (kept) return kept
    throw e
  }
}

async function answer(request, url) {
  const cache = await caches.open(CACHE)
  const kept = pageAddress(url) ? await cache.match('index.html') : await cache.match(request)
  return kept ?? fromNetworkOrKept(request)
}

self.addEventListener('fetch', (event) => {
  const request = event.request
  const url = new URL(request.url)
  if (request.method !== 'GET' || url.origin !== self.location.origin || !inScope(url)) return
  if (request.headers.has('range')) return
  event.respondWith(answer(request, url))
})

// The page's list of the magazine it shows: each file not kept yet.
async function keep(urls) {
  const cache = await caches.open(CACHE)
  for (const href of urls.slice(0, MAX_KEPT)) {
    let url
    try {
      url = new URL(href, self.registration.scope)
    } catch {
      continue
    }
    if (url.origin !== self.location.origin || !inScope(url) || await cache.match(url)) continue
    try {
      const response = await fetch(url, { cache: 'no-cache' })
      if (keepable(response)) await cache.put(url, response)
    } catch {
      // Offline again: kept the next time.
    }
  }
}

self.addEventListener('message', (event) => {
  const urls = event.data?.keep
  if (Array.isArray(urls)) event.waitUntil(keep(urls.filter((u) => typeof u === 'string')))
})
