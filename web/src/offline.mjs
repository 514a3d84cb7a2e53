// The site's service worker (service-worker.js beside the page, written by
// web/build.sh) keeps the program, the music player and the site's own
// magazine; told the addresses of the magazine shown, it keeps those too,
// so that a magazine opened once opens again without a network.

export const WORKER = 'service-worker.js'

// Where a page cannot have one (plain http from another machine, a
// browser without), it simply works online only.
export function keepOffline(navigator, urls, pageUrl = globalThis.location?.href) {
  const workers = navigator.serviceWorker
  if (!workers) return Promise.resolve(false)
  return workers.register(new URL(WORKER, pageUrl).href)
    .then(() => workers.ready)
    .then((registration) => {
      registration.active?.postMessage({ keep: urls })
      return true
    })
    .catch((e) => {
      console.warn('orbex: the magazine is not kept for reading offline:', e.message)
      return false
    })
}
