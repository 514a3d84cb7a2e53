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
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import {
  NATIVE_BINARY, SAMPLE_MAGAZINE, compareLogs, describeDifference, fingers, fnv1a, frameHash,
  missingNativeTool, builtEdition, runSite, openBrowsers, readDataUrl, readPng, sampleLevels, sampleSite, setFocused, setHidden, settledFrame, shotsOf, sleep,
  tourDifferences,
} from './fixtures.mjs'
import { FOREIGN_SCRIPT, writeForeignMagazine } from './foreign.mjs'
import { consoleLine, open, serve, waitResult } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const root = path.dirname(webDir)
const regression = path.join(root, 'tests', 'regression')
const binary = NATIVE_BINARY
const sample = SAMPLE_MAGAZINE
const skip = missingNativeTool()

describe('the viewer in the browser', { skip: skip ?? false, timeout: 900000 }, () => {
  let tmp
  let site
  let server
  let browsers

  before(async () => {
    ;({ tmp, site } = sampleSite(webDir, 'orbex-viewer-'))
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

  const newPage = (loudly = false, options = {}) => browsers.newPage(loudly, options)

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
    const failures = tourDifferences(result, regression, '-web-ACTUAL')
    assert.deepEqual(failures, [], 'the log or shots differ from the references (*-web-ACTUAL.* beside them)')
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

  test('on a phone\'s network: a progress bar of bytes a screen reader names, gone at the first frame; what it does not need comes after it', async () => {
    const page = await newPage()
    const cdp = await page.context().newCDPSession(page)
    await cdp.send('Network.enable')
    await cdp.send('Network.emulateNetworkConditions',
      { offline: false, latency: 150, downloadThroughput: 200000, uploadThroughput: 96000 })
    // The bar as it was on every animation frame until the first picture.
    await page.addInitScript(() => {
      window.orbexBar = []
      const look = () => {
        const bar = document.getElementById('orbex-progress')
        if (bar) window.orbexBar.push([bar.hidden, bar.value, bar.max])
        if (!window.orbex?.stats.firstFrameMs) requestAnimationFrame(look)
      }
      requestAnimationFrame(look)
    })
    await open(page, server.url, '')
    await page.getByRole('progressbar', { name: 'Loading the magazine' }).waitFor({ timeout: 30000 })
    await page.waitForFunction(() => window.orbex?.stats.firstFrameMs, null, { timeout: 60000 })
    assert.equal(await page.getByRole('progressbar').count(), 0, 'the bar stayed after the first frame')
    await page.waitForFunction(() => window.orbex.stats.filesMs !== null, null, { timeout: 60000 })
    const { bar, firstFrameMs, fetched } = await page.evaluate(() => ({
      bar: window.orbexBar,
      firstFrameMs: window.orbex.stats.firstFrameMs,
      fetched: performance.getEntriesByType('resource').map((r) => [new URL(r.name).pathname, r.startTime]),
    }))
    const shown = bar.filter(([hidden, , max]) => !hidden && max > 1)
    const values = shown.map(([, value]) => value)
    assert.ok(values.some((v, i) => v > 0 && v < shown[i][2]), `no bar between empty and full: ${JSON.stringify(bar)}`)
    assert.deepEqual(values, [...values].sort((a, b) => a - b), 'the bar went back')
    const started = (re) => fetched.filter(([name]) => re.test(name)).map(([, at]) => at)
    assert.ok(started(/begin\.raw/).every((at) => at < firstFrameMs), 'the start picture came after the first frame')
    // The start module is read before the first frame; the other, and the
    // articles, are not.
    assert.ok(started(/extreme2\.xm/).every((at) => at < firstFrameMs), 'the start module came late')
    const later = started(/modul2\.xm|orbex\.dat/)
    assert.ok(later.length === 2 && later.every((at) => at >= firstFrameMs),
      `a file was fetched before the first frame that it does not need: ${JSON.stringify(fetched)}`)
    await page.orbexContext.close()
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
        if (!page || page.stats.firstFrameMs === null || !page.sound.playing || !page.sound.context) return
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
    // The tour's way to the music link, with time to listen between; after
    // the fade the end picture stays (no message comes to close the window)
    // until the script is used up, long enough to hear the silence, though
    // unchanged frames cost the page next to nothing.
    fs.writeFileSync(path.join(tmp, 'served', 'music.txt'), [
      'frames 323', 'move 100 388', 'frames 7', 'ldown', 'frames 3', 'lup', 'frames 2',
      'move 100 372', 'frames 2', 'ldown', 'frames 3', 'lup', 'frames 1200',
      'key F12', 'frames 3000', '',
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

  // ---- the reader's devices, and the desktop's ways

  // Until an asynchronous check in the page holds (waitForFunction takes a
  // promise for a true value).
  async function eventually(page, fn, arg, seconds = 30) {
    const deadline = Date.now() + seconds * 1000
    while (!await page.evaluate(fn, arg)) {
      if (Date.now() > deadline) throw new Error(`not within ${seconds} s: ${fn}`)
      await sleep(100)
    }
  }

  // A page read by hand without music, from its first frame on.
  async function byHand(options = {}, query = 'args=n') {
    const page = await newPage(false, options)
    await open(page, server.url, query)
    await waitFor(page, () => window.orbex?.stats.presents > 0, null, 60)
    return page
  }

  // Where frame pixel (x, y) is on the page.
  async function onPage(page, x, y) {
    const box = await page.locator('#orbex-canvas').boundingBox()
    return [box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 480]
  }

  // As a hand clicks: the pointer there first, frames, then the click (the
  // viewer lays a page out with the pointer the frame before read).
  async function pointAndClick(page, x, y, button = 'left') {
    await page.mouse.move(...await onPage(page, x, y))
    await sleep(100)
    await page.mouse.down({ button })
    await page.mouse.up({ button })
  }

  // The mouse off the canvas: the viewer's pointer away, drawn nowhere.
  async function mouseAway(page) {
    const box = await page.locator('#orbex-canvas').boundingBox()
    await page.mouse.move(box.x + box.width + 5, box.y + box.height / 2)
  }

  // A click the viewer lets go when it falls on the end of a frame-rate
  // second, as the desktop does: tried again until the frame changes.
  async function untilChanged(page, act, what) {
    const before = await settledFrame(page)
    for (let i = 0; i < 3; ++i) {
      await act()
      const now = await settledFrame(page)
      if (now !== before) return now
    }
    throw new Error(`${what} changed nothing`)
  }

  // The same way through the magazine, by touch on a phone (the buttons
  // below the picture for the keys) or by mouse and keyboard: the frame
  // after each step, by name.
  async function readThrough(way) {
    const touch = way === 'touch'
    const page = await byHand(touch
      ? { viewport: { width: 851, height: 393 }, hasTouch: true, isMobile: true, deviceScaleFactor: 2 }
      : {})
    const finger = touch ? await fingers(page) : null
    const tap = async (x, y) => {
      if (touch) {
        await finger.tap(...await onPage(page, x, y))
      } else {
        await pointAndClick(page, x, y)
        await mouseAway(page)
      }
    }
    const button = (name) => page.getByRole('group', { name: 'Keys' }).getByRole('button', { name, exact: true })
    const key = async (name, keys) => {
      if (touch) await button(name).tap()
      else for (const k of keys) await page.keyboard.press(k)
    }
    const line = touch ? ((await page.locator('#orbex-canvas').boundingBox()).height * 16) / 480 : 0
    const frames = {}
    await sleep(1300)
    await untilChanged(page, () => tap(320, 240), 'the click on the start picture')
    frames.contents = await settledFrame(page)
    frames.article = await untilChanged(page, () => tap(100, 388), 'the article link')
    if (touch) await finger.swipe(...await onPage(page, 320, 400), -3.5 * line)
    else for (let i = 0; i < 3; ++i) await page.keyboard.press('ArrowDown')
    frames.swiped = await settledFrame(page)
    if (touch) await finger.swipe(...await onPage(page, 320, 440), -10.5 * line, { steps: 2, stepMs: 8, restMs: 0 })
    else for (const k of [...Array(10).fill('ArrowDown'), 'PageDown']) await page.keyboard.press(k)
    frames.flung = await settledFrame(page)
    // Ctrl passes as on the desktop; a key with Alt is the system's.
    await key('End', ['Control+End', 'Alt+Home'])
    frames.end = await settledFrame(page)
    await key('Home', ['Home'])
    frames.home = await settledFrame(page)
    await key('Page Down', ['PageDown'])
    frames.pageDown = await settledFrame(page)
    await key('F1 help', ['F1'])
    frames.help = await settledFrame(page)
    if (touch) {
      const [x, y] = await onPage(page, 320, 300)
      await finger.down([x, y])
      await sleep(800)
      await finger.up()
    } else {
      await pointAndClick(page, 320, 300, 'right')
      await mouseAway(page)
    }
    frames.back = await settledFrame(page)
    await page.orbexContext.close()
    return frames
  }

  test('read by hand on a phone held sideways: taps follow links, a long press goes back, a swipe scrolls by the lines the keys do, the key buttons are the keys', async () => {
    const byTouch = await readThrough('touch')
    const byKeys = await readThrough('keys')
    assert.deepEqual(byTouch, byKeys, 'touch and keys went different ways')
    const { contents, article, swiped, flung, end, home, pageDown, help, back } = byTouch
    assert.equal(new Set([contents, article, swiped, flung, help]).size, 5, JSON.stringify(byTouch))
    assert.equal(home, article)
    assert.notEqual(pageDown, home)
    assert.equal(back, contents)
  })

  test("the clock starts as the desktop's: a click before the frames' first second is over does not end the start picture", async () => {
    for (let attempt = 1; ; ++attempt) {
      const page = await byHand()
      const intro = await frameHash(page)
      const firstFrame = await page.evaluate(() => window.orbex.stats.firstFrameMs)
      // Past the page's own first second, where a clock that counted from
      // the page's start closed its first window. Clicked from inside the
      // page, at that moment: on a busy machine a click from the test may
      // come a second later.
      const clicked = await page.evaluate(async (t) => {
        while (performance.now() <= Math.max(t + 100, 1100)) await new Promise((resolve) => setTimeout(resolve, 5))
        const canvas = document.getElementById('orbex-canvas')
        const box = canvas.getBoundingClientRect()
        const at = { clientX: box.left + box.width / 2, clientY: box.top + box.height / 2, pointerId: 1, pointerType: 'mouse' }
        canvas.dispatchEvent(new PointerEvent('pointermove', { ...at, buttons: 0 }))
        canvas.dispatchEvent(new PointerEvent('pointerdown', { ...at, button: 0, buttons: 1 }))
        canvas.dispatchEvent(new PointerEvent('pointerup', { ...at, button: 0, buttons: 0 }))
        return performance.now()
      }, firstFrame)
      if (clicked - firstFrame > 700) {
        // Too late to tell: the frames' first second may be over.
        await page.orbexContext.close()
        assert.ok(attempt < 3, `the click came ${clicked - firstFrame} ms after the first frame, three times`)
        continue
      }
      await sleep(300)
      const afterEarlyClick = await frameHash(page)
      // A click after that second ends the start picture.
      await page.waitForFunction((t) => performance.now() > t + 1300, firstFrame)
      await click(page, 320, 240)
      await waitFor(page, (h) => {
        let x = 0
        for (const p of window.orbex.pixels) x = (Math.imul(x, 31) + p) | 0
        return x !== h
      }, intro)
      await page.orbexContext.close()
      assert.equal(afterEarlyClick, intro, `a click ${(clicked - firstFrame).toFixed(0)} ms after the first frame ended the start picture`)
      return
    }
  })

  test('a right click while the left button is held goes back, a left click while the right is held follows a link, as on the desktop', async () => {
    const page = await byHand()
    await sleep(1300)
    await untilChanged(page, async () => {
      await pointAndClick(page, 320, 240)
      await mouseAway(page)
    }, 'the click on the start picture')
    const contents = await settledFrame(page)
    const followLink = async () => {
      await pointAndClick(page, 100, 388)
      await mouseAway(page)
    }
    const article = await untilChanged(page, followLink, 'the article link')
    // Left held where there is no link, and the right pressed meanwhile.
    const back = await untilChanged(page, async () => {
      await page.mouse.move(...await onPage(page, 638, 300))
      await page.mouse.down()
      await page.mouse.down({ button: 'right' })
      await page.mouse.up({ button: 'right' })
      await page.mouse.up()
      await mouseAway(page)
    }, 'the right button under the left')
    assert.equal(back, contents)
    await untilChanged(page, followLink, 'the article link')
    // The right held (back to the contents), and the left pressed on the link.
    await page.mouse.move(...await onPage(page, 638, 300))
    await sleep(100)
    await page.mouse.down({ button: 'right' })
    assert.notEqual(await settledFrame(page), article, 'the right button did not go back')
    await page.mouse.move(...await onPage(page, 100, 388))
    const hovering = await settledFrame(page)
    let now = hovering
    for (let i = 0; i < 3 && now === hovering; ++i) {
      await page.mouse.down()
      await page.mouse.up()
      now = await settledFrame(page)
    }
    await page.mouse.up({ button: 'right' })
    await mouseAway(page)
    const followed = await settledFrame(page)
    assert.equal(followed, article)
    await page.orbexContext.close()
  })

  test("the window's focus lost, the viewer draws nothing and waits, as on the desktop; the focus back, it draws", async () => {
    const page = await byHand()
    await setFocused(page, false)
    await sleep(200)
    const lost = await page.evaluate(() => ({
      presents: window.orbex.stats.presents,
      waitingForMessage: window.orbex.input.waiters.length,
    }))
    await sleep(500)
    assert.equal(await page.evaluate(() => window.orbex.stats.presents), lost.presents, 'frames without the focus')
    assert.equal(lost.waitingForMessage, 1, 'not waiting for a message without the focus')
    await setFocused(page, true)
    await waitFor(page, (p) => window.orbex.stats.presents > p + 3, lost.presents)
    await page.orbexContext.close()
  })

  test('any screen: the picture fills the width upright and the height sideways with 4:3 kept, sharp or smooth; 320 pixels wide work; full screen keeps the buttons on a phone', async () => {
    const screens = [
      { name: 'phone-upright', width: 360, height: 640, scale: 3, touch: true },
      { name: 'phone-sideways', width: 851, height: 393, scale: 2.75, touch: true },
      { name: 'small-phone', width: 320, height: 568, scale: 2, touch: true },
      { name: 'small-window', width: 480, height: 400, scale: 1, touch: false },
      { name: 'desktop', width: 1280, height: 720, scale: 1, touch: false },
    ]
    for (const screen of screens) {
      const page = await byHand({
        viewport: { width: screen.width, height: screen.height }, deviceScaleFactor: screen.scale,
        hasTouch: screen.touch, isMobile: screen.touch,
      })
      await sleep(300)
      const look = await page.evaluate(() => ({
        canvas: document.getElementById('orbex-canvas').getBoundingClientRect().toJSON(),
        shrunk: document.getElementById('orbex-canvas').classList.contains('shrunk'),
        scrollWidth: document.documentElement.scrollWidth,
        buttons: [...document.querySelectorAll('#orbex-bar button')].map((b) => b.getBoundingClientRect().toJSON()),
      }))
      // Pictures to look at, never kept in the repository.
      if (process.env.ORBEX_WEB_LOOK) {
        await page.screenshot({ path: path.join(process.env.ORBEX_WEB_LOOK, `${screen.name}.png`) })
      }
      const { canvas } = look
      const what = `${screen.name}: ${JSON.stringify(look)}`
      assert.ok(Math.abs(canvas.width * 3 - canvas.height * 4) <= 4, `not 4:3, ${what}`)
      if (screen.touch) {
        if (screen.height > screen.width) assert.equal(canvas.width, screen.width, `not the width, ${what}`)
        else assert.equal(canvas.height, screen.height, `not the height, ${what}`)
      }
      assert.ok(look.scrollWidth <= screen.width, `wider than the screen, ${what}`)
      for (const b of look.buttons) {
        assert.ok(b.width >= 44 && b.height >= 44, `a button too small for a finger, ${what}`)
        assert.ok(b.right <= screen.width && b.bottom <= screen.height, `a button off the screen, ${what}`)
      }
      assert.equal(look.shrunk, canvas.width * screen.scale < 640, `sharp or smooth wrongly, ${what}`)
      if (screen.name === 'phone-sideways' || screen.name === 'desktop') {
        if (screen.touch) await page.getByRole('button', { name: 'Full screen' }).tap()
        else await page.getByRole('button', { name: 'Full screen' }).click()
        await waitFor(page, () => document.fullscreenElement === document.documentElement)
        assert.equal(await page.getByRole('group', { name: 'Keys' }).isVisible(), screen.touch,
          `${screen.name}: the key buttons in full screen`)
        await page.keyboard.press('Escape')
      }
      await page.orbexContext.close()
    }
  })

  test('offline: a magazine opened once opens again without a network, its files running no script; a rebuilt site replaces what was kept', async () => {
    // A copy of the site on a server of its own, which the test stops; a
    // magazine beside the built one, with a page of HTML among its files.
    const copy = path.join(tmp, 'offline-site')
    fs.cpSync(site, copy, { recursive: true })
    const beside = path.join(copy, 'beside')
    writeForeignMagazine(beside, 2)
    fs.writeFileSync(path.join(beside, 'notes.txt'), '<html><script>console.log("script ran")</script></html>')
    fs.writeFileSync(path.join(beside, 'gone.txt'), 'soon gone')
    fs.writeFileSync(path.join(beside, 'files.txt'), ['data/orbex.dat', 'data/chars.168', 'data/begin.raw',
      'data/BG_8b.pcx', 'data/ende.pcx', 'data/cursor.pcx', 'extreme2.xm', 'notes.txt', 'gone.txt', ''].join('\n'))
    let online = await serve(copy)
    const siteUrl = online.url
    const page = await newPage()
    await open(page, siteUrl, 'args=n')
    const kept = (name) => page.evaluate((n) => caches.match(n).then((r) => r !== undefined), new URL(name, siteUrl).href)
    const showsMagazine = async (query) => {
      await page.goto(`${siteUrl}?${query}`)
      // Once every file is in: the count of files and the missing ones are
      // known only then, online later than from what was kept.
      await waitFor(page, () => window.orbex?.stats.presents > 3 && window.orbex.stats.filesMs !== null, null, 60)
      return page.evaluate(() => ({
        missing: window.orbex.stats.missing, files: window.orbex.stats.files, status: document.getElementById('orbex-status').textContent,
      }))
    }
    try {
      const first = await showsMagazine('args=n')
      await waitFor(page, () => navigator.serviceWorker.controller !== null, null, 30)
      for (const name of ['index.html', 'orbex-program.wasm.gz', 'chiptune3/libopenmpt.worklet.js', 'magazine/files.txt']) {
        await eventually(page, (n) => caches.match(n).then((r) => r !== undefined), new URL(name, siteUrl).href)
      }
      await showsMagazine('args=n&magazine=beside/')
      await eventually(page, (n) => caches.match(n).then((r) => r !== undefined), new URL('beside/notes.txt', siteUrl).href)
      // Online, the magazine beside the site's and any other file come from
      // the network: a change reaches the reader, a file that is gone is let
      // go, and a file of no magazine is kept nowhere.
      const fetched = (name) => page.evaluate((n) => fetch(n, { cache: 'no-store' })
        .then(async (r) => `${r.status} ${await r.text()}`), new URL(name, siteUrl).href)
      fs.writeFileSync(path.join(copy, 'unrelated.txt'), 'one')
      assert.equal(await fetched('unrelated.txt'), '200 one')
      fs.writeFileSync(path.join(copy, 'unrelated.txt'), 'two')
      assert.equal(await fetched('unrelated.txt'), '200 two')
      assert.ok(!await kept('unrelated.txt'), 'a file of no magazine is kept')
      const notes = fs.readFileSync(path.join(beside, 'notes.txt'), 'utf8')
      fs.writeFileSync(path.join(beside, 'notes.txt'), notes + ' changed')
      assert.equal(await fetched('beside/notes.txt'), `200 ${notes} changed`)
      assert.equal(await page.evaluate((n) => caches.match(n).then((r) => r.text()), new URL('beside/notes.txt', siteUrl).href),
        `${notes} changed`)
      fs.rmSync(path.join(beside, 'gone.txt'))
      assert.match(await fetched('beside/gone.txt'), /^404 /)
      assert.ok(!await kept('beside/gone.txt'), 'a file the server no longer has is kept')
      // What "Add to home screen" needs (a test's browser context is a
      // private window, where nothing can be installed).
      const cdp = await page.context().newCDPSession(page)
      const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors')
      assert.deepEqual(installabilityErrors.filter((e) => e.errorId !== 'in-incognito'), [])
      const manifest = JSON.parse((await cdp.send('Page.getAppManifest')).data)
      assert.equal(manifest.display, 'fullscreen')

      online.close()
      online = null
      assert.deepEqual(await showsMagazine('args=n'), first, 'offline, the magazine is not as it was')
      // With the music: its player comes from what was kept too.
      await showsMagazine('')
      await waitFor(page, () => window.orbex.stats.workletMs !== null, null, 15)
      const besideOffline = await showsMagazine('args=n&magazine=beside/')
      assert.deepEqual(besideOffline.missing, ['gone.txt'])
      // A file of a magazine opened by itself is a document, which the
      // worker never answers from its cache: offline it does not open.
      await assert.rejects(page.goto(new URL('beside/notes.txt', siteUrl).href), /ERR_/)
      await sleep(300)
      assert.deepEqual(page.orbexConsole.filter((line) => line.includes('script ran')), [])

      // Rebuilt, without the magazine beside and with a new file: another
      // version, which replaces the old one whole.
      fs.rmSync(beside, { recursive: true })
      fs.writeFileSync(path.join(tmp, 'sample', 'notes.txt'), 'a new file')
      assert.equal(runSite(builtEdition(), [path.join(tmp, 'sample'), copy]).status, 0)
      const version = /const VERSION = "([0-9a-f]+)"/.exec(fs.readFileSync(path.join(copy, 'service-worker.js'), 'utf8'))[1]
      online = await serve(copy, {}, Number(new URL(siteUrl).port))
      await showsMagazine('args=n')
      await eventually(page, (v) => caches.keys().then((names) => names.length === 1 && names[0].endsWith(' ' + v)),
        version)
      assert.ok(await kept('magazine/notes.txt'), 'the new file is not kept')
      assert.ok(!await kept('beside/notes.txt'), "the old version's files are kept still")
    } finally {
      online?.close()
      await page.orbexContext.close()
    }
  })
})

if (skip) console.log(`# skipped: ${skip}`)
