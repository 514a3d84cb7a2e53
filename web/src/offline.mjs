// The site's service worker (service-worker.js beside the page, written by
// web/build.sh) keeps the program, the music player and the site's own
// magazine, and every other file of the site the page asks for through it.
// A page that came before the worker (the first visit) asks once more, now
// through it, for whatever of its magazine is not kept yet, so that a
// magazine opened once opens again without a network.

export const WORKER = 'service-worker.js'

// Where a page cannot have one (plain http from another machine, a browser
// without), it simply works online only. Resolves when all is kept.
export async function keepOffline(navigator, urls, pageUrl = globalThis.location?.href) {
  const workers = navigator.serviceWorker
  if (!workers) return false
  try {
    await workers.register(new URL(WORKER, pageUrl).href)
    await workers.ready
    if (!workers.controller) {
      await new Promise((resolve) => workers.addEventListener('controllerchange', resolve, { once: true }))
    }
    for (const url of urls) {
      if (await caches.match(url)) continue
      const response = await fetch(url)
      await response.body?.cancel()
    }
    return true
  } catch (e) {
    console.warn('orbex: the magazine is not kept for reading offline:', e.message)
    return false
  }
}
