// The viewer in the browser, end to end: node --test web/test/viewer.test.mjs
//
// Builds the site with web/build.sh (the CMake build folder from
// ORBEX_WEB_BUILD, default build-web) from a copy of the sample magazine
// (ORBEX_SAMPLE_MAGAZINE, default build/magazine), serves it on a free
// loopback port and drives Debian's Chromium through playwright-core:
// - the regression tour gives the desktop's reference log and shots;
// - a magazine written by the test gives the same shots and log as the
//   native headless viewer (ORBEX_BINARY, default build/orbex), at 24 and at
//   16 bits;
// - the music plays, a music link switches it, F12 fades it to silence;
// - read by hand: the music waits for a click, links work, F12 ends.
// Skips, saying why, when Chromium, emcc, playwright-core, the native viewer
// or the sample magazine is missing.
import assert from 'node:assert/strict'
import { execFileSync, spawnSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import {
  buildSite, firstDifference, fnv1a, missingBrowserTool, openBrowsers, readDataUrl, readPng, sampleLevels, setHidden,
} from './fixtures.mjs'
import { FOREIGN_SCRIPT, writeForeignMagazine } from './foreign.mjs'
import { consoleLine, open, serve, waitResult } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const root = path.dirname(webDir)
const regression = path.join(root, 'tests', 'regression')
const binary = process.env.ORBEX_BINARY || path.join(root, 'build', 'orbex')
const sample = process.env.ORBEX_SAMPLE_MAGAZINE || path.join(root, 'build', 'magazine')
const MODULES = /\.(xm|mod|s3m|it)$/i

function missingTool() {
  const tool = missingBrowserTool()
  if (tool) return tool
  if (!fs.existsSync(binary)) return `the native viewer is missing (${binary}): build it first`
  if (!fs.existsSync(path.join(sample, 'data', 'orbex.dat'))) {
    return `the sample magazine is missing (${sample}): cmake --build build --target magazine`
  }
  return null
}

const skip = missingTool()
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms))

// A first start of the sample magazine, as the desktop tour has it: its data
// and modules only, never an orbex.cfg or orbex.log a desktop run left there.
function copySample(to) {
  fs.cpSync(path.join(sample, 'data'), path.join(to, 'data'), { recursive: true })
  for (const name of fs.readdirSync(sample)) {
    if (MODULES.test(name)) fs.copyFileSync(path.join(sample, name), path.join(to, name))
  }
}

// The script's shot names, in order.
function shotsOf(script) {
  return [...script.matchAll(/^\s*shot\s+(\S+)/gm)].map((m) => m[1])
}

function lines(text) {
  return text.split(/(?<=\n)/)
}

// Line by line, line ends included; the first difference as a message.
function compareLogs(want, got) {
  const a = lines(want)
  const b = lines(got)
  for (let i = 0; i < Math.max(a.length, b.length); ++i) {
    if (a[i] !== b[i]) {
      return `line ${i + 1}: expected ${JSON.stringify(a[i] ?? 'no more lines')}, ` +
        `got ${JSON.stringify(b[i] ?? 'no more lines')} (${a.length} lines expected, ${b.length} written)`
    }
  }
  return null
}

function describeDifference(name, got, want) {
  const d = firstDifference(got, want)
  return d && `${name}: the first differing pixel is (${d.x}, ${d.y}): ${d.got} instead of ${d.want}`
}

describe('the viewer in the browser', { skip: skip ?? false, timeout: 900000 }, () => {
  let tmp
  let site
  let server
  let browsers

  before(async () => {
    tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-viewer-'))
    const magazine = path.join(tmp, 'sample')
    copySample(magazine)
    site = path.join(tmp, 'site')
    const { seconds } = buildSite(webDir, magazine, site)
    console.log(`# site built in ${seconds.toFixed(1)} s`)
    fs.mkdirSync(path.join(tmp, 'served'))
    server = await serve(site, {
      '/_tour/': regression,
      '/_served/': path.join(tmp, 'served'),
    })
    browsers = await openBrowsers()
  })

  after(async () => {
    await browsers?.close()
    server?.close()
    if (tmp) fs.rmSync(tmp, { recursive: true, force: true })
  })

  const newPage = (loudly = false) => browsers.newPage(loudly)

  // Runs a scripted, virtual-clock run of the site (or of another magazine
  // folder served under /_served/); the result and the console.
  async function scriptedRun(query, seconds = 240) {
    const page = await newPage()
    await open(page, server.url, new URLSearchParams(query).toString())
    const result = await waitResult(page, seconds)
    const boxes = page.orbexConsole.filter((line) => line.startsWith('ORBEX 5:'))
    const { cfg, downloads } = await page.evaluate(() => ({
      cfg: localStorage.getItem(window.orbex.cfgKey),
      downloads: window.orbex.downloads,
    }))
    await page.orbexContext.close()
    return { result, console: page.orbexConsole, boxes, cfg, downloads }
  }

  test('the regression tour gives the desktop reference log and shots', async () => {
    const tour = fs.readFileSync(path.join(regression, 'tour.txt'), 'latin1')
    const { result, console: lines, boxes, cfg } = await scriptedRun({
      args: 'l', clock: 'step:20', script: '_tour/tour.txt',
    })
    assert.equal(result.exit, 0, lines.join('\n'))
    assert.deepEqual(lines.filter((line) => line.startsWith('policy violation')), [], 'the page broke its own policy')
    assert.deepEqual(boxes, [], 'no message box on the tour')
    assert.equal(cfg, '010101', 'a first start keeps the default configuration')
    const logDifference = compareLogs(fs.readFileSync(path.join(regression, 'tour.log'), 'latin1'), result.log)
    if (logDifference) fs.writeFileSync(path.join(regression, 'tour-web-ACTUAL.log'), result.log, 'latin1')
    assert.equal(logDifference, null, 'the log differs from tests/regression/tour.log (tour-web-ACTUAL.log)')
    const names = shotsOf(tour)
    assert.deepEqual(Object.keys(result.shots).sort(), [...names].sort())
    const failures = []
    for (const name of names) {
      const got = readDataUrl(result.shots[name])
      const reference = name.startsWith('same-as-')
        ? readDataUrl(result.shots[name.slice('same-as-'.length)])
        : readPng(fs.readFileSync(path.join(regression, name)))
      const difference = describeDifference(name, got.rgb, reference.rgb)
      if (difference) {
        failures.push(difference)
        const actual = name.replace(/\.png$/, '-web-ACTUAL.png')
        const url = result.shots[name]
        fs.writeFileSync(path.join(regression, actual), Buffer.from(url.slice(url.indexOf(',') + 1), 'base64'))
      }
    }
    assert.deepEqual(failures, [], 'shots differ from the references (NAME-web-ACTUAL.png beside them)')
  })

  for (const [depth, cfgByte] of [[24, 2], [16, 3]]) {
    test(`a magazine made by the test: the browser's shots and log are the native headless ones at ${depth} bits`,
      async () => {
        const name = `foreign-${depth}`
        const served = path.join(tmp, 'served', name)
        writeForeignMagazine(served, cfgByte)
        fs.writeFileSync(path.join(served, 'files.txt'),
          ['data/orbex.dat', 'data/chars.168', 'data/begin.raw', 'data/BG_8b.pcx', 'data/ende.pcx',
            'data/cursor.pcx', 'extreme2.xm', 'other.mod', 'orbex.cfg', ''].join('\n'))
        const script = path.join(tmp, 'served', `${name}.txt`)
        fs.writeFileSync(script, FOREIGN_SCRIPT)

        const native = path.join(tmp, `native-${depth}`)
        writeForeignMagazine(native, cfgByte)
        execFileSync(binary, ['l'], {
          cwd: native,
          env: { ORBEX_VIDEO: 'headless', ORBEX_CLOCK: 'step:20', ORBEX_SCRIPT: script },
          stdio: ['ignore', 'ignore', 'inherit'],
        })

        const { result, console: lines, downloads } = await scriptedRun({
          magazine: `_served/${name}/`, args: 'l', clock: 'step:20', script: `_served/${name}.txt`,
        })
        assert.equal(result.exit, 0, lines.join('\n'))
        // F2's save.txt is offered to the reader as the desktop writes it.
        assert.deepEqual(downloads, [{ name: 'save.txt', size: fs.statSync(path.join(native, 'save.txt')).size }])
        assert.equal(compareLogs(fs.readFileSync(path.join(native, 'orbex.log'), 'latin1'), result.log), null)
        const names = shotsOf(FOREIGN_SCRIPT)
        assert.deepEqual(Object.keys(result.shots).sort(), [...names].sort())
        const failures = names.map((shot) => describeDifference(shot, readDataUrl(result.shots[shot]).rgb,
          readPng(fs.readFileSync(path.join(native, shot))).rgb)).filter(Boolean)
        assert.deepEqual(failures, [])
        // Kept for the other depth: the two must differ, or no depth was chosen.
        fs.writeFileSync(path.join(tmp, `contents-${depth}.rgb`), readDataUrl(result.shots['contents.png']).rgb)
        if (depth === 16) {
          assert.ok(!fs.readFileSync(path.join(tmp, 'contents-24.rgb')).equals(
            fs.readFileSync(path.join(tmp, 'contents-16.rgb'))), 'the 16-bit run looks as the 24-bit one')
        }
      })
  }

  test('missing files behave as on the desktop: the same message boxes, log and shot', async () => {
    const served = path.join(tmp, 'served', 'missing')
    const native = path.join(tmp, 'native-missing')
    for (const dir of [served, native]) {
      writeForeignMagazine(dir, 2)
      fs.rmSync(path.join(dir, 'extreme2.xm'))
      fs.rmSync(path.join(dir, 'data', 'chars.168'))
    }
    // Listed, but not there: the page gets 404 for both.
    fs.writeFileSync(path.join(served, 'files.txt'),
      ['data/orbex.dat', 'data/chars.168', 'data/begin.raw', 'data/BG_8b.pcx', 'data/ende.pcx', 'data/cursor.pcx',
        'extreme2.xm', 'other.mod', 'orbex.cfg', ''].join('\n'))
    const script = path.join(tmp, 'served', 'missing.txt')
    fs.writeFileSync(script, 'frames 30\nshot gone.png\n')
    const run = spawnSync(binary, ['l'], {
      cwd: native, env: { ORBEX_VIDEO: 'headless', ORBEX_CLOCK: 'step:20', ORBEX_SCRIPT: script }, encoding: 'latin1',
    })
    const nativeBoxes = run.stderr.split('\n').filter((line) => line.startsWith('ORBEX 5:'))
    assert.equal(nativeBoxes.length, 2, run.stderr)

    const { result, boxes } = await scriptedRun({
      magazine: '_served/missing/', args: 'l', clock: 'step:20', script: '_served/missing.txt',
    })
    assert.equal(result.exit, run.status)
    assert.deepEqual(boxes, nativeBoxes)
    assert.equal(compareLogs(fs.readFileSync(path.join(native, 'orbex.log'), 'latin1'), result.log), null)
    assert.equal(describeDifference('gone.png', readDataUrl(result.shots['gone.png']).rgb,
      readPng(fs.readFileSync(path.join(native, 'gone.png'))).rgb), null)
  })

  test('read by hand: a message box is a dialog the reader closes', async () => {
    const served = path.join(tmp, 'served', 'no-background')
    writeForeignMagazine(served, 2)
    fs.rmSync(path.join(served, 'data', 'BG_8b.pcx'))
    fs.writeFileSync(path.join(served, 'files.txt'), ['data/orbex.dat', 'data/chars.168', 'data/begin.raw',
      'data/ende.pcx', 'data/cursor.pcx', 'orbex.cfg', ''].join('\n'))
    const page = await newPage()
    await open(page, server.url, 'args=n&magazine=_served/no-background/')
    const dialog = page.locator('#orbex-box')
    await dialog.waitFor({ state: 'visible', timeout: 30000 })
    assert.match(await page.locator('#orbex-box-text').textContent(), /ERROR \(CODE 1\)/)
    await sleep(300)
    assert.equal(await page.locator('#orbex-result').count(), 0, 'the program did not wait for the reader')
    await page.locator('#orbex-box button').click()
    const result = await waitResult(page, 30)
    assert.equal(result.exit, 0)
    await page.orbexContext.close()
  })

  // The output sampled (fixtures.sampleLevels); a console line tells when
  // the first frame came and the context's state then: the test cannot ask
  // the page itself before the reader's click, as playwright's evaluations
  // count as a user gesture.
  async function listen(page) {
    await sampleLevels(page)
    await page.addInitScript(() => {
      const watch = setInterval(() => {
        const page = window.orbex
        if (!page || page.stats.firstFrameMs === null || !page.sound.playing) return
        clearInterval(watch)
        const hint = !document.getElementById('orbex-sound-hint').hidden
        console.log(`orbex-test: first frame, sound ${page.sound.context.state}, hint ${hint}`)
      }, 10)
    })
  }

  test('the music plays, switches at a music link and fades to silence after F12', async () => {
    const start = fnv1a(fs.readFileSync(path.join(sample, 'extreme2.xm')))
    const other = fnv1a(fs.readFileSync(path.join(sample, 'modul2.xm')))
    assert.notEqual(start, other)
    // The tour's way to the music link, with time to listen between.
    fs.writeFileSync(path.join(tmp, 'served', 'music.txt'), [
      'frames 323', 'move 100 388', 'frames 7', 'ldown', 'frames 3', 'lup', 'frames 2',
      'move 100 372', 'frames 2', 'ldown', 'frames 3', 'lup', 'frames 300',
      'key F12', 'frames 400', '',
    ].join('\n'))
    const page = await newPage(true)
    await listen(page)
    await open(page, server.url, 'clock=step:20&script=_served/music.txt')
    const result = await waitResult(page, 120)
    assert.equal(result.exit, 0, page.orbexConsole.join('\n'))
    const levels = await page.evaluate(() => window.levels)
    await page.orbexContext.close()

    const running = levels.filter((l) => l[3] === 'running')
    const first = running.filter((l) => l[5] === start && l[4] === 100)
    const second = running.filter((l) => l[5] === other && l[4] === 100)
    assert.ok(first.length >= 4 && second.length >= 4, `too few samples: ${first.length}, ${second.length}`)
    assert.ok(Math.max(...first.map((l) => l[1])) > 0.02, 'no music from the start')
    assert.ok(first.at(-1)[0] < second[0][0], 'the first module did not come first')
    // The analyser's window (2048 frames) holds the old module for 50 ms.
    assert.ok(Math.max(...second.filter((l) => l[0] > second[0][0] + 100).map((l) => l[1])) > 0.02,
      'no music after the music link')
    const fade = running.filter((l) => l[0] > second.at(-1)[0])
    const volumes = fade.map((l) => l[4])
    assert.ok(volumes.some((v) => v > 0 && v < 100), 'no fade')
    assert.deepEqual(volumes, [...volumes].sort((a, b) => b - a), 'the volume rose during the fade')
    const silentFrom = fade.find((l) => l[4] === 0)?.[0]
    assert.ok(silentFrom !== undefined, 'the fade did not reach 0')
    const silent = fade.filter((l) => l[0] > silentFrom + 100)
    assert.ok(silent.length >= 4, `too few samples after the fade: ${silent.length}`)
    assert.equal(Math.max(...silent.map((l) => l[2])), 0, 'sound after the fade')
  })

  // Frame pixels at a point of the canvas, for a page run by hand.
  async function click(page, x, y) {
    const box = await page.locator('#orbex-canvas').boundingBox()
    await page.mouse.click(box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 480)
  }

  const frameHash = (page) => page.evaluate(() => {
    let h = 0
    for (const p of window.orbex.pixels) h = (Math.imul(h, 31) + p) | 0
    return h
  })

  async function waitFor(page, fn, arg, seconds = 10) {
    await page.waitForFunction(fn, arg, { timeout: seconds * 1000, polling: 25 })
  }

  test('read by hand: the music waits for a click, links and music links work, F12 fades and ends', async () => {
    const other = fnv1a(fs.readFileSync(path.join(sample, 'modul2.xm')))
    const page = await newPage()
    await listen(page)
    await open(page, server.url, '')
    await consoleLine(page, 'orbex-test: first frame', 30)
    assert.ok(page.orbexConsole.includes('orbex-test: first frame, sound suspended, hint true'),
      'the music did not wait for a click, or the start picture did not say so')

    // After the first second a click ends the start picture; it is also the
    // gesture that lets the music play.
    await sleep(1300)
    const intro = await frameHash(page)
    await click(page, 320, 240)
    await waitFor(page, () => window.orbex.sound.context.state === 'running')
    assert.equal(await page.locator('#orbex-sound-hint').isVisible(), false)
    await waitFor(page, (h) => {
      let x = 0
      for (const p of window.orbex.pixels) x = (Math.imul(x, 31) + p) | 0
      return x !== h
    }, intro)

    // An article link, then its music link; a click that fell on the end of a
    // frame-rate second is lost as on the desktop, so it is tried again.
    await sleep(300)
    for (let i = 0; i < 3; ++i) {
      const contents = await frameHash(page)
      await click(page, 100, 388)
      await sleep(400)
      if (await frameHash(page) !== contents) break
    }
    for (let i = 0; i < 3; ++i) {
      await click(page, 100, 372)
      try {
        await waitFor(page, (hash) => window.levels.at(-1)?.[5] === hash, other, 2)
        break
      } catch {
        assert.ok(i < 2, 'the music link did not switch the music')
      }
    }
    const switched = await page.evaluate(() => performance.now())
    await sleep(600)
    const levels = await page.evaluate((t) => window.levels.filter((l) => l[0] > t + 100), switched)
    assert.ok(Math.max(...levels.map((l) => l[1])) > 0.02, 'no music after the music link')

    // A hidden page: the viewer is inactive and waits for a message (not for
    // a frame), drawing nothing; visible again, it draws.
    await setHidden(page, true)
    await sleep(200)
    const hidden = await page.evaluate(() => ({
      presents: window.orbex.stats.presents,
      waitingForMessage: window.orbex.input.waiters.length,
      waitingForFrame: window.orbex.visibleWaiters.length,
    }))
    await sleep(500)
    assert.equal(await page.evaluate(() => window.orbex.stats.presents), hidden.presents, 'frames while hidden')
    assert.deepEqual([hidden.waitingForMessage, hidden.waitingForFrame], [1, 0], 'not inactive while hidden')
    await setHidden(page, false)
    await waitFor(page, (p) => window.orbex.stats.presents > p + 3, hidden.presents)

    // F12: the end picture, the fade, the end (an idle message lets the
    // viewer act on its quit request).
    await page.keyboard.press('F12')
    const result = await waitResult(page, 20)
    assert.equal(result.exit, 0)
    const volumes = await page.evaluate(() => window.levels.map((l) => l[4]))
    assert.ok(volumes.includes(0) && volumes.some((v) => v > 0 && v < 100), 'no fade before the end')
    assert.match(await page.locator('#orbex-status').textContent(), /ended/)
    await page.orbexContext.close()
  })
})

if (skip) console.log(`# skipped: ${skip}`)
