// The site's service worker: a magazine opened once opens again without a
// network. web/build.sh writes it into the site with the site's version (a
// hash of all its other files) and their list. Everything the build made
// (the page, the program, the music player, the site's magazine) is kept
// under that version and answered from there; a rebuilt site is a new
// version, which replaces the old one whole. Any other file of the site (a
// magazine beside the built one) comes from the network while there is one,
// and is kept for when there is none.
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
// Caches of other versions of this site are removed; those of other sites
// on the same host are theirs.
const PREFIX = `orbex5 ${self.registration.scope} `
const CACHE = PREFIX + VERSION

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
