#!/usr/bin/env node
// The first picture on a phone: the time from navigation to the first frame
// painted, and the bytes fetched before it, with an empty cache, on a
// phone's network (150 ms latency, 1.6 Mbit/s down, 750 kbit/s up) and
// processor (Chromium's CPU throttling, four times slower):
//
//   node bench/first_picture.mjs [RUNS]
//
// Builds two sites with web/build.sh (ORBEX_WEB_BUILD, default build-web):
// the sample magazine (build/magazine), and the same with ten more modules
// of 500 KB each, and serves them as a plain static server does, compressing
// nothing. Prints every run and the medians (bench/README.md).
import { spawnSync } from 'node:child_process'
import crypto from 'node:crypto'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { fileURLToPath, pathToFileURL } from 'node:url'

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..')
const web = path.join(root, 'web')
const { launch, serve } = await import(pathToFileURL(path.join(web, 'test', 'run-site.mjs')).href)

const PHONE = { offline: false, latency: 150, downloadThroughput: 1.6e6 / 8, uploadThroughput: 750e3 / 8 }
const CPU_SLOWDOWN = 4
const EXTRA_MODULES = 10
const MODULE_BYTES = 500 * 1024

function build(magazine, out) {
  const run = spawnSync(path.join(web, 'build.sh'), [magazine, out], { stdio: ['ignore', 'ignore', 'pipe'], encoding: 'utf8' })
  if (run.status !== 0) throw new Error(`web/build.sh failed: ${run.stderr}`)
}

// One visit with an empty cache: { ms, bytes } of the first frame.
async function visit(browser, url) {
  const context = await browser.newContext()
  const page = await context.newPage()
  const cdp = await context.newCDPSession(page)
  await cdp.send('Network.enable')
  await cdp.send('Network.emulateNetworkConditions', PHONE)
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: CPU_SLOWDOWN })
  await page.goto(url, { waitUntil: 'commit' })
  // Polled through the DevTools protocol: playwright's own evaluations count
  // as a user gesture. The first frame counts once painted; the bytes are
  // those of the page and of every request made before then (headers too).
  const expression = `(() => {
    const ms = window.orbex && window.orbex.stats.firstPaintMs
    if (typeof ms !== 'number') return null
    const bytes = [...performance.getEntriesByType('navigation'),
      ...performance.getEntriesByType('resource').filter((r) => r.startTime < ms)]
      .reduce((sum, r) => sum + r.transferSize, 0)
    return { ms, bytes }
  })()`
  const result = await new Promise((resolve, reject) => {
    const deadline = Date.now() + 120000
    const poll = async () => {
      const answer = await cdp.send('Runtime.evaluate', { expression, returnByValue: true })
      const value = answer.result.value
      if (value) resolve(value)
      else if (Date.now() > deadline) reject(new Error('no frame within 120 s'))
      else setTimeout(poll, 10)
    }
    poll()
  })
  await context.close()
  return result
}

const runs = Number(process.argv[2] ?? 3)
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-first-picture-'))
const server = { close() {} }
let browser
try {
  const demo = path.join(root, 'build', 'magazine')
  const more = path.join(tmp, 'more-modules')
  fs.cpSync(demo, more, { recursive: true })
  for (const name of ['orbex.cfg', 'orbex.log', 'save.txt']) fs.rmSync(path.join(more, name), { force: true })
  for (let i = 0; i < EXTRA_MODULES; ++i) fs.writeFileSync(path.join(more, `extra${i}.xm`), crypto.randomBytes(MODULE_BYTES))
  const sites = { demo: path.join(tmp, 'demo-site'), 'demo + 10 × 500 KB modules': path.join(tmp, 'more-site') }
  build(demo, sites.demo)
  build(more, sites['demo + 10 × 500 KB modules'])
  browser = await launch()
  const medians = []
  for (const [name, site] of Object.entries(sites)) {
    const served = await serve(site)
    const results = []
    for (let i = 0; i < runs; ++i) {
      const r = await visit(browser, served.url)
      results.push(r)
      console.log(`${name}, run ${i + 1}: first frame ${(r.ms / 1000).toFixed(2)} s, ${(r.bytes / 1024).toFixed(0)} KiB before it`)
    }
    served.close()
    const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1]
    medians.push(`${name}: first frame ${(median(results.map((r) => r.ms)) / 1000).toFixed(2)} s, ` +
      `${(median(results.map((r) => r.bytes)) / 1024).toFixed(0)} KiB before it (medians of ${runs})`)
  }
  console.log('')
  for (const line of medians) console.log(line)
} finally {
  await browser?.close()
  server.close()
  fs.rmSync(tmp, { recursive: true, force: true })
}
