#!/usr/bin/env node
// Runs a built site in headless Chromium until the program ends, and writes
// what it left in #orbex-result: orbex.log, the shots as PNG files, and
// result.json (exit status, page figures, console lines).
//
//   node web/test/run-site.mjs SITE_DIR OUT_DIR [options]
//     --query TEXT     more query parameters, e.g. 'args=l&clock=step:20'
//     --script FILE    the input script (served beside the site as ?script=)
//     --timeout S      give up after S seconds (default 120)
//     --autoplay       sound without a user gesture
//     --cpu-slowdown N the page's processor N times slower (Chromium's CPU
//                      throttling, as a phone's)
//
// Exit status: the program's, or 2 when no result came in time.
// The functions are also used by the tests.
import fs from 'node:fs'
import path from 'node:path'
import { fileURLToPath, pathToFileURL } from 'node:url'

import { serve } from '../tools/server.mjs'

const here = path.dirname(fileURLToPath(import.meta.url))
export const CHROMIUM = process.env.ORBEX_CHROMIUM || '/usr/bin/chromium'

// The site is served as web/serve.sh serves it, with its headers.
export { serve }

export async function loadPlaywright() {
  try {
    return (await import(pathToFileURL(path.join(here, '..', 'node_modules', 'playwright-core', 'index.mjs')).href))
      .chromium
  } catch {
    return null
  }
}

export async function launch({ autoplay = false } = {}) {
  const chromium = await loadPlaywright()
  if (!chromium) throw new Error('playwright-core is missing: run npm ci in web/')
  const args = [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync',
  ]
  if (autoplay) args.push('--autoplay-policy=no-user-gesture-required')
  // playwright-core gives every launch a fresh profile folder of its own.
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args })
}

// Opens the site with the query in page and waits for the result; the
// console lines are collected in page.orbexConsole, each refusal of the
// page's security policy among them as "policy violation: ...".
export async function open(page, siteUrl, query = '') {
  page.orbexConsole = []
  page.on('console', (m) => page.orbexConsole.push(m.text()))
  page.on('pageerror', (e) => page.orbexConsole.push('pageerror: ' + e.message))
  // What the page's own policy refused, as a console line.
  await page.addInitScript(() => document.addEventListener('securitypolicyviolation', (e) => {
    console.error(`policy violation: ${e.violatedDirective} ${e.blockedURI}`)
  }))
  await page.goto(siteUrl + (query ? '?' + query : ''))
}

// The page's processor rate times slower, as on a phone.
export async function slowDown(page, rate) {
  const cdp = await page.context().newCDPSession(page)
  await cdp.send('Emulation.setCPUThrottlingRate', { rate })
}

export async function waitResult(page, seconds = 120) {
  const pre = await page.waitForSelector('#orbex-result', { state: 'attached', timeout: seconds * 1000 })
  return JSON.parse(await pre.textContent())
}

export async function consoleLine(page, text, seconds = 60) {
  const deadline = Date.now() + seconds * 1000
  while (Date.now() < deadline) {
    if (page.orbexConsole.some((line) => line.includes(text))) return
    await new Promise((resolve) => setTimeout(resolve, 20))
  }
  throw new Error(`no console line "${text}" within ${seconds} s; console:\n${page.orbexConsole.join('\n')}`)
}

export function writeResult(result, out, extra = {}) {
  fs.mkdirSync(path.join(out, 'shots'), { recursive: true })
  fs.writeFileSync(path.join(out, 'orbex.log'), result.log)
  for (const [name, url] of Object.entries(result.shots)) {
    const base64 = url.slice(url.indexOf(',') + 1)
    fs.writeFileSync(path.join(out, 'shots', path.basename(name)), Buffer.from(base64, 'base64'))
  }
  const summary = { exit: result.exit, shots: Object.keys(result.shots), ...extra }
  if (result.error !== undefined) summary.error = result.error
  fs.writeFileSync(path.join(out, 'result.json'), JSON.stringify(summary, null, 2) + '\n')
}

async function main(argv) {
  const positional = []
  const opts = { query: '', script: null, timeout: 120, autoplay: false, slowdown: 1 }
  for (let i = 0; i < argv.length; ++i) {
    const a = argv[i]
    if (a === '--query') opts.query = argv[++i]
    else if (a === '--script') opts.script = argv[++i]
    else if (a === '--timeout') opts.timeout = Number(argv[++i])
    else if (a === '--autoplay') opts.autoplay = true
    else if (a === '--cpu-slowdown') opts.slowdown = Number(argv[++i])
    else positional.push(a)
  }
  if (positional.length !== 2) {
    console.error('usage: run-site.mjs SITE_DIR OUT_DIR [--query Q] [--script FILE] [--timeout S] [--autoplay] ' +
      '[--cpu-slowdown N]')
    return 2
  }
  const [site, out] = positional
  const extra = {}
  const query = new URLSearchParams(opts.query)
  if (opts.script) {
    extra['/_run/script.txt'] = path.resolve(opts.script)
    query.set('script', '_run/script.txt')
  }
  const server = await serve(site, extra)
  const browser = await launch({ autoplay: opts.autoplay })
  try {
    const page = await browser.newPage()
    if (opts.slowdown !== 1) await slowDown(page, opts.slowdown)
    await open(page, server.url, query.toString())
    let result
    try {
      result = await waitResult(page, opts.timeout)
    } catch {
      console.error(`run-site: no result within ${opts.timeout} s`)
      console.error(page.orbexConsole.join('\n'))
      return 2
    }
    const stats = await page.evaluate(() => window.orbex.stats)
    writeResult(result, out, { stats, console: page.orbexConsole })
    console.log(`run-site: exit ${result.exit}, ${Object.keys(result.shots).length} shots, ` +
      `first frame ${stats.firstFrameMs === null ? '-' : stats.firstFrameMs.toFixed(0) + ' ms'}, in ${out}`)
    return result.exit
  } finally {
    await browser.close()
    server.close()
  }
}

if (process.argv[1] && import.meta.url === pathToFileURL(path.resolve(process.argv[1])).href) {
  process.exitCode = await main(process.argv.slice(2))
}
