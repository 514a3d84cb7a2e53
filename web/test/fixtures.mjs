// What the browser tests build on: a small magazine, a tracker module made
// here, a PNG reader, and the pixels the stub draws, worked out afresh.
import { execFileSync, spawn, spawnSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { fileURLToPath } from 'node:url'

import { readPng } from '../tools/read-png.mjs'
import { CHROMIUM, launch } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')

// The desktop build's orbex-tool, which makes every site (orbex-tool site).
export const TOOL = process.env.ORBEX_TOOL || path.join(webDir, '..', 'build', 'orbex-tool')

// A web edition with the page's templates only (no program): enough for
// orbex-tool site to show what it does with magazines, in node alone.
export function templateEdition(dir) {
  fs.mkdirSync(dir, { recursive: true })
  for (const name of ['index.html', 'service-worker.js', 'shelf.css']) {
    fs.copyFileSync(path.join(webDir, name), path.join(dir, name))
  }
  return dir
}

// The shelf's links as the site has them: the address of each issue's page
// by its name.
export function shelfLinks(site) {
  const html = fs.readFileSync(path.join(site, 'shelf.html'), 'utf8')
  const text = (t) => t.replace(/&#(\d+);/g, (_, n) => String.fromCharCode(Number(n)))
  return new Map([...html.matchAll(/<a href="([^"]+)">([^<]+)<\/a>/g)].map((m) => [text(m[2]), text(m[1])]))
}

// The web edition web/build.sh last built for program.
export function builtEdition(program = 'orbex-program') {
  return path.join(path.resolve(process.env.ORBEX_WEB_BUILD || path.join(webDir, '..', 'build-web')), `edition-${program}`)
}

// The address the preview printed, and the process.
export async function startPreview(project, env = {}) {
  const child = spawn(TOOL, ['preview', project], {
    env: { ...process.env, ORBEX_WEB_EDITION: builtEdition(), ...env }, stdio: ['ignore', 'pipe', 'pipe'],
  })
  let out = ''
  child.stdout.on('data', (chunk) => { out += chunk })
  child.stderr.on('data', (chunk) => { out += chunk })
  const deadline = Date.now() + 60000
  while (!/http:\/\/127\.0\.0\.1:\d+\//.test(out)) {
    if (Date.now() > deadline || child.exitCode !== null) throw new Error(`no address from orbex-tool preview:\n${out}`)
    await new Promise((resolve) => setTimeout(resolve, 50))
  }
  return { child, url: /http:\/\/127\.0\.0\.1:\d+\//.exec(out)[0], said: () => out }
}

// The article's source whose number is n.
export function articleSource(project, n) {
  const folder = path.join(project, 'src', 'articles')
  return path.join(folder, fs.readdirSync(folder).find((name) => Number.parseInt(name, 10) === n))
}

// orbex-tool site --edition EDITION ARGS...: its status and what it said.
export function runSite(edition, args) {
  return spawnSync(TOOL, ['site', '--edition', edition, ...args], { encoding: 'utf8', timeout: 60000 })
}

// A 4-channel ProTracker module: one square-wave sample, four notes (these
// Amiga periods) on the first channel, 7.68 seconds before it loops.
export function makeModule(periods = [428, 381, 339, 320]) {
  const sampleBytes = 64
  const header = Buffer.alloc(1084)
  header.write('orbex test', 0)
  const s = 20
  header.write('square', s)
  header.writeUInt16BE(sampleBytes / 2, s + 22)
  header[s + 25] = 64 // volume
  header.writeUInt16BE(0, s + 26)
  header.writeUInt16BE(sampleBytes / 2, s + 28) // loops for ever
  for (let i = 1; i < 31; ++i) header.writeUInt16BE(1, 20 + i * 30 + 28)
  header[950] = 1 // one position
  header[951] = 127
  header[952] = 0
  header.write('M.K.', 1080)
  const pattern = Buffer.alloc(1024)
  for (let row = 0; row < 64; row += 4) {
    const period = periods[(row / 4) % 4]
    const o = row * 16
    pattern[o] = period >> 8
    pattern[o + 1] = period & 0xff
    pattern[o + 2] = 1 << 4 // sample 1
  }
  const sample = Buffer.alloc(sampleBytes)
  for (let i = 0; i < sampleBytes; ++i) sample[i] = i < sampleBytes / 2 ? 0x60 : 0xa0
  return Buffer.concat([header, pattern, sample])
}

export function fnv1a(bytes) {
  let hash = 2166136261
  for (const b of bytes) hash = Math.imul(hash ^ b, 16777619) >>> 0
  return hash
}

export const ARCHIVE = Buffer.from('Archiv \xe4\xf6\xfc\x9e', 'latin1')
export const ARCHIVE2 = Buffer.from('Another issue\x9e', 'latin1')
export const SPACED = Buffer.from('spaced name')

// The magazine the tests copy into the site. files.txt names a file that is
// not there, and one outside the folder, which the page must not ask for.
export function writeMagazine(dir, archive = ARCHIVE) {
  fs.mkdirSync(path.join(dir, 'data'), { recursive: true })
  fs.mkdirSync(path.join(dir, 'sub dir'), { recursive: true })
  fs.writeFileSync(path.join(dir, 'data', 'orbex.dat'), archive)
  fs.writeFileSync(path.join(dir, 'extreme2.xm'), makeModule())
  fs.writeFileSync(path.join(dir, 'bad.xm'), 'this is not a module')
  fs.writeFileSync(path.join(dir, 'sub dir', 'with space.txt'), SPACED)
  fs.writeFileSync(path.join(dir, 'files.txt'),
    ['data/orbex.dat', 'extreme2.xm', 'bad.xm', 'sub dir/with space.txt', 'data/missing.bin', '../escape.txt', '']
      .join('\n'))
}

// Builds the site with web/build.sh into out, with program (orbex-program,
// the viewer; orbex-stub; orbex-frame-timing) as the page's program; returns
// the seconds it took and what the build said (also shown). magazine may be
// a list, for a shelf of issues. ORBEX_WEB_BUILD, when set, is the CMake
// build folder.
export function buildSite(webDir, magazine, out, program = 'orbex-program') {
  const started = Date.now()
  const run = spawnSync(path.join(webDir, 'build.sh'), [magazine, out].flat(), {
    stdio: ['ignore', 'ignore', 'pipe'],
    encoding: 'utf8',
    env: { ...process.env, ORBEX_WEB_PROGRAM: program },
  })
  process.stderr.write(run.stderr)
  if (run.status !== 0) throw new Error(`web/build.sh failed (${run.status ?? run.signal})`)
  return { seconds: (Date.now() - started) / 1000, said: run.stderr }
}

// ---- PNG

export { readPng }

export function readDataUrl(url) {
  return readPng(Buffer.from(url.slice(url.indexOf(',') + 1), 'base64'))
}

// ---- the stub's "pattern all", as RGB the desktop's frameToRgb would give

// (value * 255 + max / 2) / max in whole numbers: src/platform/png.cpp.
export function widen(word, mask) {
  if (mask === 0) return 0
  let shift = 0
  while (((mask >>> shift) & 1) === 0) ++shift
  const max = mask >>> shift
  const value = (word & mask) >>> shift
  return Math.floor((value * 255 + Math.floor(max / 2)) / max)
}

export function expectedAll16(red, green, blue) {
  const rgb = Buffer.alloc(640 * 480 * 3)
  for (let i = 0; i < 640 * 480; ++i) {
    const word = i & 0xffff
    rgb[3 * i] = widen(word, red)
    rgb[3 * i + 1] = widen(word, green)
    rgb[3 * i + 2] = widen(word, blue)
  }
  return rgb
}

export function expectedAll24() {
  const rgb = Buffer.alloc(640 * 480 * 3)
  for (let i = 0; i < 640 * 480; ++i) {
    const n = Math.imul(i, 2654435761) >>> 0
    rgb[3 * i] = (n >>> 8) & 0xff
    rgb[3 * i + 1] = (n >>> 16) & 0xff
    rgb[3 * i + 2] = n >>> 24
  }
  return rgb
}

// The first differing pixel, or null.
export function firstDifference(a, b) {
  for (let i = 0; i < a.length; i += 3) {
    if (a[i] !== b[i] || a[i + 1] !== b[i + 1] || a[i + 2] !== b[i + 2]) {
      const p = i / 3
      return { x: p % 640, y: Math.floor(p / 640), got: [...a.subarray(i, i + 3)], want: [...b.subarray(i, i + 3)] }
    }
  }
  return null
}

// ---- the page, as the tests drive it

// Makes the page hidden or visible again, as a browser does when its tab
// goes to the back (headless Chromium never hides a page by itself).
export function setHidden(page, hidden) {
  return page.evaluate((h) => {
    if (h) {
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => true })
      Object.defineProperty(document, 'visibilityState', { configurable: true, get: () => 'hidden' })
    } else {
      delete document.hidden
      delete document.visibilityState
    }
    document.dispatchEvent(new Event('visibilitychange'))
  }, hidden)
}

// The page's window loses or gets the keyboard focus, as when another
// window comes to the front (headless Chromium keeps every page focused).
export function setFocused(page, focused) {
  return page.evaluate((f) => window.dispatchEvent(new Event(f ? 'focus' : 'blur')), focused)
}

// Fingers and a pen on the page, through the DevTools protocol as a device
// would give them (CSS pixels of the page). Each call waits until the page
// has taken the event.
export async function fingers(page) {
  const cdp = await page.context().newCDPSession(page)
  const touch = (type, points, timestamp) => cdp.send('Input.dispatchTouchEvent', {
    type, touchPoints: points.map(([x, y], id) => ({ x, y, id, radiusX: 4, radiusY: 4, force: 1 })), timestamp,
  })
  const pen = (type, x, y, buttons) => cdp.send('Input.dispatchMouseEvent', {
    type, x, y, button: type === 'mouseMoved' ? 'none' : 'left', buttons, clickCount: 1, pointerType: 'pen',
  })
  return {
    down: (...points) => touch('touchStart', points),
    move: (...points) => touch('touchMove', points),
    up: () => touch('touchEnd', []),
    async tap(x, y) {
      await touch('touchStart', [[x, y]])
      await touch('touchEnd', [])
    },
    // From (x, y) by dy in steps of stepMs each; still for restMs before
    // the finger leaves, so that nothing of it is a fling. The events carry
    // the times a finger would give them, not the times a busy machine
    // delivers them at, so that a fling stays one on a loaded machine.
    async swipe(x, y, dy, { steps = 12, stepMs = 25, restMs = 200 } = {}) {
      const start = Date.now() / 1000
      await touch('touchStart', [[x, y]], start)
      for (let i = 1; i <= steps; ++i) {
        await sleep(stepMs)
        await touch('touchMove', [[x, y + (dy * i) / steps]], start + (i * stepMs) / 1000)
      }
      await sleep(restMs)
      await touch('touchEnd', [], start + (steps * stepMs + restMs) / 1000)
    },
    async penTap(x, y) {
      await pen('mouseMoved', x, y, 0)
      await pen('mousePressed', x, y, 1)
      await pen('mouseReleased', x, y, 0)
    },
  }
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms))

// A hash of the frame the page shows (its RGBA words, canvas.mjs).
export const frameHash = (page) => page.evaluate(() => {
  let h = 0
  for (const p of window.orbex.pixels) h = (Math.imul(h, 31) + p) | 0
  return h
})

// The frame's hash once it has stayed the same for a quarter of a second
// (the scroll bar comes a frame late, the pointer fades in).
export async function settledFrame(page) {
  let last = await frameHash(page)
  for (let i = 0; i < 40; ++i) {
    await sleep(250)
    const now = await frameHash(page)
    if (now === last) return now
    last = now
  }
  throw new Error('the frame does not settle')
}

// Samples the page's output (its volume node) every 25 ms into
// window.levels, from the page's start on: [time, rms, peak, context state,
// volume 0-100, FNV-1a of the module playing or 0].
export async function sampleLevels(page) {
  await page.addInitScript(() => {
    window.levels = []
    const hashes = new WeakMap()
    const fnv = (bytes) => {
      if (!hashes.has(bytes)) {
        let h = 2166136261
        for (const b of bytes) h = Math.imul(h ^ b, 16777619) >>> 0
        hashes.set(bytes, h)
      }
      return hashes.get(bytes)
    }
    const attach = () => {
      const sound = window.orbex?.sound
      if (!sound?.output) return setTimeout(attach, 10)
      const analyser = sound.context.createAnalyser()
      analyser.fftSize = 2048
      sound.output.connect(analyser)
      const data = new Float32Array(analyser.fftSize)
      const sample = () => {
        if (!sound.context) return clearInterval(timer)
        analyser.getFloatTimeDomainData(data)
        let sum = 0
        let peak = 0
        for (const v of data) {
          sum += v * v
          peak = Math.max(peak, Math.abs(v))
        }
        const playing = sound.modules.get(sound.playing)
        window.levels.push([performance.now(), Math.sqrt(sum / data.length), peak, sound.context.state, sound.level,
          playing ? fnv(playing.bytes) : 0])
      }
      const timer = setInterval(sample, 25)
      // Every change of the volume too: a fade of a run on a virtual clock
      // may pass between two samples.
      const volume = sound.volume.bind(sound)
      sound.volume = (level) => {
        volume(level)
        sample()
      }
    }
    attach()
  })
}

// Two browsers, one of which lets sound play without a gesture, and a page
// in a fresh context of either (page.orbexContext, to close it).
export async function openBrowsers() {
  const quiet = await launch()
  const loud = await launch({ autoplay: true })
  return {
    async newPage(loudly = false, options = {}) {
      const context = await (loudly ? loud : quiet).newContext({ acceptDownloads: true, ...options })
      const page = await context.newPage()
      page.orbexContext = context
      return page
    },
    async close() {
      await quiet.close()
      await loud.close()
    },
  }
}

// Why the browser tests cannot run here, or null: Chromium, playwright-core
// and, unless a built site is given, emcc.
export function missingBrowserTool(needEmcc = true) {
  if (!fs.existsSync(CHROMIUM)) return `Chromium is missing (${CHROMIUM}): apt-get install -y chromium`
  if (!fs.existsSync(path.join(webDir, 'node_modules', 'playwright-core'))) {
    return 'playwright-core is missing: cd web && npm ci'
  }
  if (needEmcc) {
    try {
      execFileSync('emcc', ['--version'], { stdio: 'ignore' })
    } catch {
      return 'emcc is missing: apt-get install -y emscripten'
    }
  }
  return null
}

// The native viewer and the sample magazine the browser's results are held
// against (CTest names them; by hand they are build/'s).
export const NATIVE_BINARY = process.env.ORBEX_BINARY || path.join(webDir, '..', 'build', 'orbex')
export const SAMPLE_MAGAZINE = process.env.ORBEX_SAMPLE_MAGAZINE || path.join(webDir, '..', 'build', 'magazine')

// Why the tests against the native viewer cannot run here, or null.
export function missingNativeTool() {
  const tool = missingBrowserTool()
  if (tool) return tool
  if (!fs.existsSync(NATIVE_BINARY)) return `the native viewer is missing (${NATIVE_BINARY}): build it first`
  if (!fs.existsSync(path.join(SAMPLE_MAGAZINE, 'data', 'orbex.dat'))) {
    return `the sample magazine is missing (${SAMPLE_MAGAZINE}): cmake --build build --target magazine`
  }
  return null
}

const MODULES = /\.(xm|mod|s3m|it)$/i

// A first start of the sample magazine, as the desktop tour has it: its data
// and modules only, never an orbex.cfg or orbex.log a desktop run left there.
// A temporary folder holding a copy of the sample magazine and the site
// built from it: { tmp, site }.
export function sampleSite(webDir, prefix) {
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), prefix))
  const magazine = path.join(tmp, 'sample')
  copySample(magazine)
  const site = path.join(tmp, 'site')
  const { seconds } = buildSite(webDir, magazine, site)
  console.log(`# site built in ${seconds.toFixed(1)} s`)
  return { tmp, site }
}

export function copySample(to) {
  fs.cpSync(path.join(SAMPLE_MAGAZINE, 'data'), path.join(to, 'data'), { recursive: true })
  for (const name of fs.readdirSync(SAMPLE_MAGAZINE)) {
    if (MODULES.test(name)) fs.copyFileSync(path.join(SAMPLE_MAGAZINE, name), path.join(to, name))
  }
}

// ---- the regression tour's result against its references

// The script's shot names, in order.
export function shotsOf(script) {
  return [...script.matchAll(/^\s*shot\s+(\S+)/gm)].map((m) => m[1])
}

function linesOf(text) {
  return text.split(/(?<=\n)/)
}

// Line by line, line ends included; the first difference as a message.
export function compareLogs(want, got) {
  const a = linesOf(want)
  const b = linesOf(got)
  for (let i = 0; i < Math.max(a.length, b.length); ++i) {
    if (a[i] !== b[i]) {
      return `line ${i + 1}: expected ${JSON.stringify(a[i] ?? 'no more lines')}, ` +
        `got ${JSON.stringify(b[i] ?? 'no more lines')} (${a.length} lines expected, ${b.length} written)`
    }
  }
  return null
}

export function describeDifference(name, got, want) {
  const d = firstDifference(got, want)
  return d && `${name}: the first differing pixel is (${d.x}, ${d.y}): ${d.got} instead of ${d.want}`
}

// A page's result of the regression tour (tests/regression/tour.txt) against
// the desktop's log and shots: what differs, each written beside its
// reference as NAME + suffix (the log as tour + suffix + .log).
export function tourDifferences(result, regression, suffix) {
  const failures = []
  if (result.exit !== 0) failures.push(`exit status ${result.exit}${result.error ? ': ' + result.error : ''}`)
  const logDifference = compareLogs(fs.readFileSync(path.join(regression, 'tour.log'), 'latin1'), result.log)
  if (logDifference) {
    failures.push('log: ' + logDifference)
    fs.writeFileSync(path.join(regression, `tour${suffix}.log`), result.log, 'latin1')
  }
  const names = shotsOf(fs.readFileSync(path.join(regression, 'tour.txt'), 'latin1'))
  const missing = names.filter((name) => !result.shots[name])
  if (missing.length > 0) failures.push(`no shots ${missing.join(', ')}`)
  for (const name of names.filter((n) => result.shots[n])) {
    const got = readDataUrl(result.shots[name])
    const reference = name.startsWith('same-as-')
      ? readDataUrl(result.shots[name.slice('same-as-'.length)])
      : readPng(fs.readFileSync(path.join(regression, name)))
    const difference = describeDifference(name, got.rgb, reference.rgb)
    if (difference) {
      failures.push(difference)
      const url = result.shots[name]
      fs.writeFileSync(path.join(regression, name.replace(/\.png$/, `${suffix}.png`)),
        Buffer.from(url.slice(url.indexOf(',') + 1), 'base64'))
    }
  }
  return failures
}
