// The browser side of the web build, end to end with the stub program:
// node --test web/test/
//
// Builds the site with web/build.sh into a temporary folder (or uses
// ORBEX_WEB_SITE, a site built already with a magazine from writeMagazine),
// serves it on a free loopback port and drives Debian's Chromium through
// playwright-core. Skips, saying why, when Chromium, emcc or playwright-core
// is missing.
import assert from 'node:assert/strict'
import fs from 'node:fs'
import http from 'node:http'
import os from 'node:os'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import {
  ARCHIVE, ARCHIVE2, SPACED, buildSite, expectedAll16, expectedAll24, firstDifference, fnv1a, readDataUrl, readPng,
  fingers, missingBrowserTool, openBrowsers, sampleLevels, setFocused, setHidden, sleep, widen, writeMagazine,
} from './fixtures.mjs'
import { MAX_FILES, MAX_FILE_BYTES } from '../src/files.mjs'
import { consoleLine, open, serve, waitResult } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')

const skip = missingBrowserTool(!process.env.ORBEX_WEB_SITE)
// An SVG that would write to the console, were its script run.
const SCRIPTED_SVG = '<svg xmlns="http://www.w3.org/2000/svg"><script>console.log("script ran")</script></svg>'

// Events the stub logged, as { message, wParam, lParam, frame } with the
// cursor line that follows a WM_SETCURSOR folded in.
function events(log) {
  const list = []
  for (const line of log.split(/\r?\n/)) {
    let m = /^event 0x([0-9a-f]+) 0x([0-9a-f]+) 0x([0-9a-f]+) frame (\d+)/.exec(line)
    if (m) {
      list.push({ message: parseInt(m[1], 16), wParam: parseInt(m[2], 16), lParam: parseInt(m[3], 16), frame: +m[4] })
      continue
    }
    m = /^cursor (-?\d+) (-?\d+)/.exec(line)
    if (m && list.length) list[list.length - 1].cursor = [+m[1], +m[2]]
  }
  return list
}

async function waitFor(page, fn, arg, seconds = 10) {
  await page.waitForFunction(fn, arg, { timeout: seconds * 1000, polling: 20 })
}

describe('web page with the stub program', { skip: skip ?? false, timeout: 600000 }, () => {
  let tmp
  let site
  let server
  let browsers

  let built = null // what web/build.sh said, when this suite built the site

  before(async () => {
    tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-web-'))
    const magazine = path.join(tmp, 'magazine')
    writeMagazine(magazine)
    // What a downloaded magazine may hold that the site must not take.
    fs.mkdirSync(path.join(tmp, 'secret'))
    fs.writeFileSync(path.join(tmp, 'secret', 'id_rsa'), 'secret key')
    fs.symlinkSync(path.join(tmp, 'secret', 'id_rsa'), path.join(magazine, 'notes.txt'))
    fs.symlinkSync(path.join(tmp, 'secret'), path.join(magazine, 'etc'))
    fs.writeFileSync(path.join(magazine, 'sub dir', 'pic.svg'), SCRIPTED_SVG)
    site = process.env.ORBEX_WEB_SITE
    if (!site) {
      site = path.join(tmp, 'site')
      const { seconds, said } = buildSite(webDir, magazine, site, 'orbex-stub')
      built = said
      console.log(`# site built in ${seconds.toFixed(1)} s`)
    }
    // A second magazine beside the first, for ?magazine=.
    writeMagazine(path.join(tmp, 'mag2'), ARCHIVE2)
    fs.mkdirSync(path.join(tmp, 'scripts'))
    // The built list as the page gets it, with a file that is not there and
    // one outside the folder (the build leaves both out).
    const list = path.join(tmp, 'files.txt')
    fs.writeFileSync(list, fs.readFileSync(path.join(site, 'magazine', 'files.txt'), 'utf8') +
      'data/missing.bin\n../escape.txt\n')
    server = await serve(site, {
      '/magazine/files.txt': list,
      '/_scripts/': path.join(tmp, 'scripts'),
      '/mag2/': path.join(tmp, 'mag2'),
      '/_tmp/': tmp,
    })
    browsers = await openBrowsers()
  })

  after(async () => {
    await browsers?.close()
    server?.close()
    if (tmp) fs.rmSync(tmp, { recursive: true, force: true })
  })

  // A script for ?script=, as bytes (Windows-1252 text is latin1 here).
  function script(name, text) {
    fs.writeFileSync(path.join(tmp, 'scripts', name), Buffer.from(text, 'latin1'))
    return `_scripts/${name}`
  }

  const newPage = (loudly = false) => browsers.newPage(loudly)

  test("the build copies the magazine's folders and regular files only, without links or pages", {
    skip: process.env.ORBEX_WEB_SITE ? 'a site built already' : false,
  }, () => {
    const copied = path.join(site, 'magazine')
    for (const name of ['notes.txt', 'etc', 'sub dir/pic.svg']) {
      assert.ok(!fs.existsSync(path.join(copied, name)), `${name} is in the site`)
    }
    const entries = fs.readdirSync(copied, { recursive: true, withFileTypes: true })
    assert.deepEqual(entries.filter((e) => !e.isFile() && !e.isDirectory()).map((e) => e.name), [])
    // Each with its size; the module, which compresses well, stored gzipped.
    assert.deepEqual(fs.readFileSync(path.join(copied, 'files.txt'), 'utf8').split('\n').map((l) => l.split('\t')[0]),
      ['data/orbex.dat', 'extreme2.xm', 'bad.xm', 'sub dir/with space.txt', ''])
    assert.match(fs.readFileSync(path.join(copied, 'files.txt'), 'utf8'), /^extreme2\.xm\t\d+\t\d+$/m)
    assert.ok(fs.existsSync(path.join(copied, 'extreme2.xm.gz')))
    for (const line of ['left out etc: a link', 'left out notes.txt: a link',
      'left out sub dir/pic.svg: no file a magazine uses']) {
      assert.ok(built.includes(line), `the build did not say "${line}":\n${built}`)
    }
  })

  test('frames, files, arguments and clock reach the program; shots and frames are exact', async () => {
    const query = new URLSearchParams({
      args: 'n l',
      clock: 'step:20',
      script: script('shots.txt', [
        'frames 3', 'shot moving-a.png', 'frames 1', 'shot moving-b.png',
        'pattern all', 'frames 1', 'shot all565.png',
        'depth 16 7c00 3e0 1f', 'frames 1', 'shot all555.png',
        'depth 16 1f 7e0 f800', 'frames 1', 'shot allbgr.png',
        'depth 24', 'frames 1', 'shot all24.png',
        'cat sub dir/with space.txt', 'cat data/missing.bin',
        'exit 3', '',
      ].join('\n')),
    })
    const page = await newPage()
    await open(page, server.url, query.toString())
    const result = await waitResult(page, 120)
    assert.equal(result.exit, 3, page.orbexConsole.join('\n'))
    const log = result.log
    assert.match(log, /^stub: args \[n l\]\r?$/m)
    assert.match(log, /^stub: clock \[step:20\]\r?$/m)
    // The program's clock counts as a desktop's does, from long before the
    // program started: the viewer's first frame closes a frame-rate window.
    assert.ok(Number(/^stub: monotonic (\d+) s/m.exec(log)?.[1]) >= 24 * 3600, 'the clock starts near 0')
    const hash = fnv1a(ARCHIVE).toString(16).padStart(8, '0')
    assert.match(log, new RegExp(`^archive found ${ARCHIVE.length} bytes fnv 0x${hash}`, 'm'))
    assert.match(log, new RegExp(`^cat sub dir/with space.txt ${SPACED.toString('hex')}`, 'm'))
    assert.match(log, /^cat data\/missing.bin missing/m)
    // The page starts the program active.
    assert.deepEqual(events(log)[0], { message: 0x1c, wParam: 1, lParam: 0, frame: 0 })
    const stats = await page.evaluate(() => window.orbex.stats)
    assert.deepEqual(stats.missing, ['data/missing.bin'])
    assert.ok(!server.requests.some((r) => r.includes('escape')), 'a path out of the folder was fetched')
    assert.deepEqual(page.orbexConsole.filter((line) => line.startsWith('policy violation')), [],
      'the page broke its own policy')
    assert.equal(await page.locator('#orbex-notices').isVisible(), false)

    assert.deepEqual(Object.keys(result.shots).sort(),
      ['all24.png', 'all555.png', 'all565.png', 'allbgr.png', 'moving-a.png', 'moving-b.png'])
    const shots = Object.fromEntries(Object.entries(result.shots).map(([name, url]) => [name, readDataUrl(url)]))
    for (const [name, png] of Object.entries(shots)) {
      assert.equal(png.width, 640, name)
      assert.equal(png.height, 480, name)
      assert.equal(png.colourType, 2, `${name} is not an RGB PNG`)
    }
    assert.ok(!shots['moving-a.png'].rgb.equals(shots['moving-b.png'].rgb), 'the frames do not change')
    const cases = {
      'all565.png': expectedAll16(0xf800, 0x07e0, 0x001f),
      'all555.png': expectedAll16(0x7c00, 0x03e0, 0x001f),
      'allbgr.png': expectedAll16(0x001f, 0x07e0, 0xf800),
      'all24.png': expectedAll24(),
    }
    for (const [name, want] of Object.entries(cases)) {
      assert.equal(firstDifference(shots[name].rgb, want), null, `${name} differs`)
    }

    // The canvas holds the last frame shown, exactly.
    const canvas = await page.evaluate(() => {
      const c = document.getElementById('orbex-canvas')
      const data = c.getContext('2d').getImageData(0, 0, 640, 480).data
      const rgb = new Array(640 * 480 * 3)
      for (let i = 0, o = 0; i < data.length; i += 4) {
        rgb[o++] = data[i]
        rgb[o++] = data[i + 1]
        rgb[o++] = data[i + 2]
      }
      return rgb
    })
    assert.equal(firstDifference(Buffer.from(canvas), cases['all24.png']), null, 'the canvas differs')

    // Print Screen (or C) offers the frame shown as a PNG download.
    const download = page.waitForEvent('download')
    await page.keyboard.press('KeyC')
    const file = await download
    assert.equal(file.suggestedFilename(), 'orbex-shot-0001.png')
    const printed = readPng(fs.readFileSync(await file.path()))
    assert.equal(printed.colourType, 2)
    assert.equal(firstDifference(printed.rgb, cases['all24.png']), null, 'the Print Screen picture differs')
    await page.orbexContext.close()
  })

  test('16-bit channels widen with rounding, as the desktop does', () => {
    // Bit replication would give 24 here; the desktop's frameToRgb gives 25.
    assert.equal(widen(3 << 11, 0xf800), 25)
    assert.equal(widen(31 << 11, 0xf800), 255)
    assert.equal(widen(1 << 5, 0x07e0), 4)
    assert.equal(widen(0, 0x07e0), 0)
  })

  test('keys, buttons, the tap rule and the pointer leaving arrive as window messages', async () => {
    const page = await newPage()
    const query = new URLSearchParams({
      script: script('input.txt', 'cursor 0\nframes 2\nsay ready\nuntil 5a\nsay done\nexit 0\n'),
    })
    await open(page, server.url, query.toString())
    await consoleLine(page, 'ready')
    const firstFrameMs = await page.evaluate(() => window.orbex.stats.firstFrameMs)
    console.log(`# first frame ${firstFrameMs.toFixed(0)} ms after navigation`)
    assert.equal(await page.evaluate(() => document.getElementById('orbex-canvas').style.cursor), 'none')

    await page.evaluate(() => {
      window.prevented = []
      window.addEventListener('keydown', (e) => window.prevented.push([e.code, e.defaultPrevented]))
      window.addEventListener('contextmenu', (e) => window.prevented.push(['contextmenu', e.defaultPrevented]))
    })
    const box = await page.locator('#orbex-canvas').boundingBox()
    const at = (x, y) => [box.x + (x + 0.5) * box.width / 640, box.y + (y + 0.5) * box.height / 480]

    await page.mouse.move(...at(100, 200))
    await sleep(50)
    // A press and its release in one go, between two frames.
    await page.evaluate(([x, y]) => {
      const canvas = document.getElementById('orbex-canvas')
      const init = { clientX: x, clientY: y, button: 0, pointerId: 7, isPrimary: true, bubbles: true }
      canvas.dispatchEvent(new PointerEvent('pointerdown', { ...init, buttons: 1 }))
      canvas.dispatchEvent(new PointerEvent('pointerup', { ...init, buttons: 0 }))
    }, at(320, 100))
    await sleep(50)
    // A finger's tap: the pointer leaves with the release, yet the frame
    // that sees the press must see it where the finger was.
    await page.evaluate(([x, y]) => {
      const canvas = document.getElementById('orbex-canvas')
      const init = { clientX: x, clientY: y, button: 0, pointerId: 8, pointerType: 'touch', isPrimary: true }
      canvas.dispatchEvent(new PointerEvent('pointerdown', { ...init, buttons: 1, bubbles: true }))
      canvas.dispatchEvent(new PointerEvent('pointerup', { ...init, buttons: 0, bubbles: true }))
      canvas.dispatchEvent(new PointerEvent('pointerleave', { ...init, buttons: 0 }))
    }, at(200, 300))
    // The finger's leaving is taken a frame after its release: on a busy
    // machine the keys and the mouse below could come first.
    const presented = await page.evaluate(() => window.orbex.stats.presents)
    await waitFor(page, (p) => window.orbex.stats.presents > p + 2, presented)
    for (const key of ['PageDown', 'Numpad2', 'KeyA', 'F5', 'KeyH']) {
      await page.keyboard.press(key)
    }
    await page.keyboard.down('ArrowDown')
    await page.keyboard.down('ArrowDown')
    await page.keyboard.up('ArrowDown')
    await page.mouse.move(...at(50, 60))
    await sleep(50)
    await page.mouse.click(...at(50, 60), { button: 'right' })
    await sleep(50)
    // Off the canvas, onto the bar beside it.
    const bar = await page.locator('#orbex-bar').boundingBox()
    await page.mouse.move(bar.x + bar.width - 5, bar.y + bar.height / 2)
    await sleep(50)
    await page.keyboard.press('KeyZ')
    const result = await waitResult(page, 60)
    assert.equal(result.exit, 0)

    const list = events(result.log.slice(result.log.indexOf('ready')))
    // Motion bursts may give a cursor message more than once.
    const seen = list.filter((e, i) => !(e.message === 0x20 && i > 0 && list[i - 1].message === 0x20 &&
      String(list[i - 1].cursor) === String(e.cursor)))
    const brief = seen.map((e) => [e.message, e.wParam, e.lParam, e.cursor ?? null])
    assert.deepEqual(brief, [
      [0x20, 0, 0x02000001, [100, 200]],
      [0x201, 1, (100 << 16) | 320, [320, 100]],
      [0x202, 0, (100 << 16) | 320, [320, 100]],
      // The finger: there first, a frame later its click, then away.
      [0x20, 0, 0x02000001, [200, 300]],
      [0x201, 1, (300 << 16) | 200, [200, 300]],
      [0x202, 0, (300 << 16) | 200, [200, 300]],
      [0x20, 0, 0x02000001, [640, 240]],
      [0x100, 0x22, 1, null],
      [0x100, 0x62, 1, null],
      [0x100, 0x41, 1, null],
      [0x100, 0x74, 1, null],
      [0x100, 0x70, 1, null], // H stands in for F1
      [0x100, 0x28, 1, null],
      [0x100, 0x28, 0x40000001, null], // a repeat
      [0x20, 0, 0x02000001, [50, 60]],
      [0x204, 2, (60 << 16) | 50, [50, 60]],
      [0x20, 0, 0x02000001, [640, 240]], // away: no pointer, no scrolling
      [0x100, 0x5a, 1, null],
    ])
    const downs = seen.filter((e) => e.message === 0x201)
    const ups = seen.filter((e) => e.message === 0x202)
    for (let i = 0; i < 2; ++i) {
      assert.ok(ups[i].frame > downs[i].frame, `release in frame ${ups[i].frame}, press in ${downs[i].frame}: tap lost`)
    }
    assert.ok(downs[1].frame > seen[3].frame, 'the finger clicked before a frame saw the pointer there')

    const prevented = Object.fromEntries(await page.evaluate(() => window.prevented))
    assert.equal(prevented.PageDown, true)
    assert.equal(prevented.F5, true)
    assert.equal(prevented.contextmenu, true)
    await page.orbexContext.close()
  })

  // Opens the stub's input log: keys and pointer as the test gives them,
  // until Z. The messages after "ready", as [message, wParam, lParam,
  // cursor] with repeated cursor messages folded.
  async function inputRun(options = {}) {
    const page = await newPage(false, options)
    await open(page, server.url, new URLSearchParams({
      script: script('input-run.txt', 'frames 2\nsay ready\nuntil 5a\nexit 0\n'),
    }).toString())
    await consoleLine(page, 'ready')
    const box = await page.locator('#orbex-canvas').boundingBox()
    const at = (x, y) => [box.x + (x + 0.5) * box.width / 640, box.y + (y + 0.5) * box.height / 480]
    const finish = async () => {
      await page.keyboard.press('KeyZ')
      const result = await waitResult(page, 60)
      assert.equal(result.exit, 0)
      await page.orbexContext.close()
      const list = events(result.log.slice(result.log.indexOf('ready')))
      return list.filter((e, i) => !(e.message === 0x20 && i > 0 && list[i - 1].message === 0x20 &&
        String(list[i - 1].cursor) === String(e.cursor)))
    }
    return { page, at, box, finish }
  }

  const brief = (list) => list.map((e) => [e.message, e.wParam, e.lParam, e.cursor ?? null])

  test('keys reach the program as on the desktop: only left Alt combinations and F10 are the system\'s', async () => {
    const { page, finish } = await inputRun()
    await page.evaluate(() => {
      window.prevented = []
      window.addEventListener('keydown', (e) => window.prevented.push([e.code, e.defaultPrevented]))
    })
    const keys = ['Control+PageDown', 'Meta+KeyH', 'Shift+F1', 'Alt+KeyH', 'Alt+F5', 'F10', 'Control+Alt+KeyA', 'AltRight+PageUp']
    for (const key of keys) {
      await page.keyboard.press(key)
    }
    // AltGr types as usual: it is no Alt here, as on the desktop.
    await page.evaluate(() => window.dispatchEvent(new KeyboardEvent('keydown', {
      code: 'KeyE', key: '€', altKey: true, ctrlKey: false, modifierAltGraph: true, bubbles: true,
    })))
    const prevented = Object.fromEntries(await page.evaluate(() => window.prevented))
    const seen = await finish()
    assert.deepEqual(brief(seen).map(([message, code]) => [message, code]), [
      [0x100, 0x11], [0x100, 0x22], // Ctrl, and Page Down with it
      [0x100, 0x48], // with ⌘ a letter is itself, not its stand-in
      [0x100, 0x10], [0x100, 0x70],
      [0x100, 0x11], // Ctrl of Ctrl+Alt+A; the A is kept with the (left) Alt
      [0x100, 0x12], [0x100, 0x21], // the right Alt is a key as any other
      [0x100, 0x45],
      [0x100, 0x5a],
    ])
    assert.equal(prevented.PageDown, false, "Ctrl+Page Down stays the browser's too")
    assert.equal(prevented.F1, true)
  })

  test('a second mouse button pressed while one is held is pressed, and released, as on the desktop', async () => {
    const { page, at, finish } = await inputRun()
    await page.mouse.move(...at(100, 120))
    // Left held, right pressed and let go, left let go; then the other way.
    await page.mouse.down()
    await page.mouse.down({ button: 'right' })
    await page.mouse.up({ button: 'right' })
    await page.mouse.up()
    await page.mouse.down({ button: 'right' })
    await page.mouse.down()
    await page.mouse.up()
    await page.mouse.up({ button: 'right' })
    const buttons = brief(await finish()).filter(([message]) => message >= 0x201 && message <= 0x204)
    const where = (120 << 16) | 100
    assert.deepEqual(buttons, [
      [0x201, 1, where, [100, 120]], [0x204, 2, where, [100, 120]], [0x202, 0, where, [100, 120]],
      [0x204, 2, where, [100, 120]], [0x201, 1, where, [100, 120]], [0x202, 0, where, [100, 120]],
    ])
  })

  test("the window's focus, lost and got back, makes the program inactive and active, as a hidden page does", async () => {
    const { page, finish } = await inputRun()
    await setFocused(page, false)
    await setHidden(page, true)
    await setFocused(page, true) // still hidden
    await setHidden(page, false)
    await setFocused(page, false)
    await setFocused(page, false)
    await setFocused(page, true)
    const seen = await finish()
    assert.deepEqual(brief(seen).map(([message, wParam]) => [message, wParam]),
      [[0x1c, 0], [0x1c, 1], [0x1c, 0], [0x1c, 1], [0x100, 0x5a]])
  })

  test('fingers and a pen: a tap is a click a frame after the pointer, a long press or two fingers the right button, a swipe the line keys', async () => {
    const { page, at, box, finish } = await inputRun({ hasTouch: true })
    const touch = await fingers(page)
    await touch.tap(...at(320, 100))
    await sleep(100)
    await touch.penTap(...at(100, 50))
    await sleep(100)
    // Held still: the right button, while the finger is still down.
    await touch.down(at(200, 220))
    await sleep(800)
    await touch.up()
    await touch.down(at(300, 300), at(340, 300))
    await touch.up()
    const line = (box.height * 16) / 480
    await touch.swipe(...at(320, 400), -5.5 * line) // up: on through the page
    await touch.swipe(...at(320, 100), 3.5 * line)
    await touch.swipe(...at(320, 200), 0.7 * line, { steps: 2 }) // too short for a line, too long for a tap
    await touch.swipe(...at(100, 240), 0, { steps: 1 }) // a finger that did not move is a tap
    const horizontal = at(100, 300)
    await touch.down(horizontal)
    await touch.move([horizontal[0] + 200, horizontal[1] + 10])
    await touch.up()
    // A fling: fast and off the glass at speed.
    await touch.swipe(...at(320, 440), -10.5 * line, { steps: 2, stepMs: 8, restMs: 0 })
    const seen = await finish()
    const away = [0x20, 0, 0x02000001, [640, 240]]
    const tap = (x, y) => [[0x20, 0, 0x02000001, [x, y]], [0x201, 1, (y << 16) | x, [x, y]],
      [0x202, 0, (y << 16) | x, [x, y]], away]
    const key = (code) => [0x100, code, 1, null]
    assert.deepEqual(brief(seen), [
      ...tap(320, 100),
      ...tap(100, 50),
      [0x204, 2, (220 << 16) | 200, [640, 240]],
      [0x204, 2, (300 << 16) | 300, [640, 240]],
      ...Array(5).fill(key(0x28)),
      ...Array(3).fill(key(0x26)),
      ...tap(100, 240),
      ...Array(10).fill(key(0x28)), key(0x22),
      key(0x5a),
    ], JSON.stringify(brief(seen)))
    for (const i of [0, 4, 18]) {
      assert.ok(seen[i + 1].frame > seen[i].frame, `a finger clicked at ${seen[i].cursor} before a frame saw it there`)
      assert.ok(seen[i + 2].frame > seen[i + 1].frame, 'a tap lost its press')
    }
  })

  test('the key buttons post their keys, repeat while held and take no focus; from the keyboard each presses once', async () => {
    const { page, finish } = await inputRun()
    const keys = page.getByRole('group', { name: 'Keys' })
    const names = ['Page Up', 'Page Down', 'Home', 'End', 'Space click', 'F1 help', 'F2 save', 'F5 pointer',
      'F9 rate', 'F12 end']
    for (const name of names) await keys.getByRole('button', { name, exact: true }).click()
    assert.equal(await page.evaluate(() => document.activeElement.tagName), 'BODY', 'a key button took the focus')
    const pageDown = await keys.getByRole('button', { name: 'Page Down' }).boundingBox()
    await page.mouse.move(pageDown.x + pageDown.width / 2, pageDown.y + pageDown.height / 2)
    await page.mouse.down()
    await sleep(800)
    await page.mouse.up()
    await sleep(100)
    // Reached by Tab: Enter and Space press the button, and nothing else.
    await keys.getByRole('button', { name: 'F1 help' }).focus()
    await page.keyboard.press('Enter')
    await page.keyboard.press('Space')
    const seen = brief(await finish()).filter(([message]) => message === 0x100)
    const codes = [0x21, 0x22, 0x24, 0x23, 0x20, 0x70, 0x71, 0x74, 0x78, 0x7b]
    assert.deepEqual(seen.slice(0, 10).map(([, code, lParam]) => [code, lParam]), codes.map((c) => [c, 1]))
    const held = seen.slice(10, -3)
    assert.deepEqual(held[0], [0x100, 0x22, 1, null])
    assert.ok(held.length >= 4 && held.slice(1).every(([, code, lParam]) => code === 0x22 && lParam === 0x40000001),
      `holding Page Down gave ${JSON.stringify(held)}`)
    assert.deepEqual(seen.slice(-3).map(([, code]) => code), [0x70, 0x70, 0x5a])
  })

  test('a hidden page stops the frames and is inactive; waiting for a message draws nothing', async () => {
    const page = await newPage()
    const query = new URLSearchParams({
      script: script('hidden.txt', 'frames 2\nsay ready\nuntil 5a\nsay waiting\nwait\nframes 2\nexit 0\n'),
    })
    await open(page, server.url, query.toString())
    await consoleLine(page, 'ready')
    const presents = () => page.evaluate(() => window.orbex.stats.presents)
    const hide = (hidden) => setHidden(page, hidden)
    await hide(true)
    await sleep(200)
    const p1 = await presents()
    await sleep(500)
    assert.equal(await presents(), p1, 'frames go on while hidden')
    await hide(false)
    await waitFor(page, (p) => window.orbex.stats.presents > p + 3, p1)
    await page.keyboard.press('KeyZ')
    await consoleLine(page, 'waiting')
    await sleep(100)
    const p2 = await presents()
    await sleep(400)
    assert.equal(await presents(), p2, 'frames drawn while waiting for a message')
    await page.keyboard.press('KeyX')
    const result = await waitResult(page, 30)
    assert.equal(result.exit, 0)
    const list = events(result.log.slice(result.log.indexOf('ready')))
    assert.deepEqual(list.map((e) => [e.message, e.wParam]), [[0x1c, 0], [0x1c, 1], [0x100, 0x5a], [0x100, 0x58]])
    assert.match(result.log, /woke\r?\nevent 0x0100 0x58/)
    await page.orbexContext.close()
  })

  // Samples the page's output volume node every 25 ms into window.levels,
  // and the console lines into window.marks, both with page times.
  async function listen(page) {
    await sampleLevels(page)
    await page.addInitScript(() => {
      window.levels = []
      window.marks = []
      const log = console.log
      console.log = (...args) => {
        window.marks.push([performance.now(), args.join(' ')])
        log.apply(console, args)
      }
    })
  }

  function levelsBetween(levels, marks, from, to, settleMs) {
    const t = (text) => marks.find((m) => m[1].startsWith(text))?.[0]
    const start = t(from) + settleMs
    const end = to ? t(to) : Infinity
    assert.ok(Number.isFinite(start), `no mark ${from}`)
    return levels.filter(([time]) => time >= start && time < end)
  }

  test('a module plays, volume 0 is silence, stop is silence; a bad module is refused', async () => {
    const page = await newPage(true)
    await listen(page)
    const query = new URLSearchParams({
      script: script('music.txt', [
        'init 44100', 'load bad.xm', 'load extreme2.xm', 'start', 'play 1', 'say playing', 'frames 90',
        'volume 0', 'say silent', 'frames 45', 'volume 100', 'say loud', 'frames 45',
        'stop', 'say stopped', 'frames 45', 'play 7', 'free 1', 'play 1', 'init 22050', 'exit 0', '',
      ].join('\n')),
    })
    await open(page, server.url, query.toString())
    const result = await waitResult(page, 60)
    const { levels, marks } = await page.evaluate(() => ({ levels: window.levels, marks: window.marks }))
    assert.equal(result.exit, 0)
    assert.match(result.log, /^init 1\r?\nload bad.xm 0\r?\nload extreme2.xm 1\r?\nplay 1/m)
    assert.match(result.log, /^play 0\r?\nplay 0\r?\ninit 1/m, 'an unknown or freed handle was played')
    // Another rate is another output.
    assert.equal(await page.evaluate(() => window.orbex.sound.rate), 22050)
    const loud = levelsBetween(levels, marks, 'playing', 'silent', 300)
    const silent = levelsBetween(levels, marks, 'silent', 'loud', 250)
    const again = levelsBetween(levels, marks, 'loud', 'stopped', 250)
    const stopped = levelsBetween(levels, marks, 'stopped', 'stub: end', 250)
    for (const [name, part] of Object.entries({ loud, silent, again, stopped })) {
      assert.ok(part.length >= 4, `too few samples while ${name}: ${part.length}`)
    }
    assert.ok(Math.max(...loud.map((l) => l[1])) > 0.02, 'no music at volume 100')
    assert.equal(Math.max(...silent.map((l) => l[2])), 0, 'sound at volume 0')
    assert.ok(Math.max(...again.map((l) => l[1])) > 0.02, 'no music after volume 100 again')
    assert.equal(Math.max(...stopped.map((l) => l[2])), 0, 'sound after stop')
    await page.orbexContext.close()
  })

  test('before a gesture a module loads and a hint shows; the first click starts it where it would be', async () => {
    const page = await newPage()
    await listen(page)
    const query = new URLSearchParams({
      script: script('gesture.txt', 'music extreme2.xm\nsay playing\nuntil 5a\nexit 0\n'),
    })
    await open(page, server.url, query.toString())
    await consoleLine(page, 'playing', 60)
    assert.ok(page.orbexConsole.includes('load extreme2.xm 1'), page.orbexConsole.join('\n'))
    assert.equal(await page.evaluate(() => window.orbex.sound.context.state), 'suspended')
    assert.equal(await page.locator('#orbex-sound-hint').isVisible(), true)
    await sleep(1500)
    const box = await page.locator('#orbex-canvas').boundingBox()
    await page.mouse.click(box.x + 10, box.y + box.height / 2)
    const clicked = await page.evaluate(() => performance.now())
    await waitFor(page, () => window.orbex.sound.context.state === 'running')
    // Reports from before the jump may still come in first.
    await waitFor(page, () => window.orbex.sound.position > 0.5)
    const { position, since } = await page.evaluate(() => ({
      position: window.orbex.sound.position,
      since: window.orbex.sound.modules.get(1).since,
    }))
    const shouldBe = (clicked - since) / 1000
    assert.ok(shouldBe > 1.4, `played for ${shouldBe} s before the click`)
    assert.ok(position >= shouldBe - 0.2 && position < shouldBe + 1,
      `music at ${position} s, should be near ${shouldBe} s`)
    assert.equal(await page.locator('#orbex-sound-hint').isVisible(), false)
    await sleep(400)
    const levels = await page.evaluate(() => window.levels.filter((l) => l[3] === 'running'))
    assert.ok(Math.max(...levels.map((l) => l[1])) > 0.02, 'no music after the click')
    await page.keyboard.press('KeyZ')
    assert.equal((await waitResult(page, 30)).exit, 0)
    await page.orbexContext.close()
  })

  test('a message box waits for the reader, drawing nothing meanwhile; Alt+Enter is full screen', async () => {
    const page = await newPage()
    await open(page, server.url, '')
    await waitFor(page, () => window.orbex?.stats.presents > 5, null, 30)
    await page.keyboard.press('KeyB')
    await page.locator('#orbex-box[open]').waitFor()
    assert.equal(await page.locator('#orbex-box-text').textContent(), 'A box from the stub: Grüße €')
    await sleep(100)
    const p = await page.evaluate(() => window.orbex.stats.presents)
    await sleep(400)
    assert.equal(await page.evaluate(() => window.orbex.stats.presents), p)
    await page.locator('#orbex-box button').click()
    await consoleLine(page, 'box confirmed')
    await waitFor(page, (n) => window.orbex.stats.presents > n + 3, p)
    // Alt+Enter is the page's: full screen, and back.
    await page.keyboard.press('Alt+Enter')
    await waitFor(page, () => document.fullscreenElement === document.documentElement)
    await page.keyboard.press('Alt+Enter')
    await waitFor(page, () => document.fullscreenElement === null)
    await page.keyboard.press('F12')
    const result = await waitResult(page, 30)
    assert.equal(result.exit, 0)
    assert.match(result.log, /^box confirmed/m)
    assert.doesNotMatch(result.log, /event 0x0100 0xd /, 'Alt+Enter reached the program')
    await page.orbexContext.close()
  })

  test('scripted boxes go to the console; save.txt and downloads reach the reader; orbex.cfg is kept per magazine', async () => {
    const page = await newPage()
    const downloads = []
    page.on('download', async (d) => {
      downloads.push({ name: d.suggestedFilename(), text: fs.readFileSync(await d.path(), 'latin1') })
    })
    const first = script('keep1.txt', [
      'box Gr\xfc\xdfe \x80 \x81', 'cat orbex.cfg', 'write orbex.cfg abc', 'write save.txt Saved text',
      'download other.txt Hello', 'exit 0', '',
    ].join('\n'))
    await open(page, server.url, 'script=' + first)
    let result = await waitResult(page, 60)
    assert.equal(result.exit, 0)
    assert.ok(page.orbexConsole.includes('ORBEX 5: Grüße € \ufffd'), page.orbexConsole.join('\n'))
    assert.match(result.log, /^cat orbex.cfg missing/m)
    await waitFor(page, () => window.orbex.downloads.length >= 2)
    await sleep(300)
    assert.deepEqual(downloads.map((d) => [d.name, d.text]).sort(), [['other.txt', 'Hello'], ['save.txt', 'Saved text']])

    const second = script('keep2.txt', 'cat orbex.cfg\nexit 0\n')
    await page.goto(server.url + '?script=' + second)
    result = await waitResult(page, 60)
    assert.match(result.log, /^cat orbex.cfg 616263/m)

    await page.goto(server.url + '?magazine=mag2/&script=' + second)
    result = await waitResult(page, 60)
    assert.match(result.log, /^cat orbex.cfg missing/m)
    const hash = fnv1a(ARCHIVE2).toString(16).padStart(8, '0')
    assert.match(result.log, new RegExp(`^archive found ${ARCHIVE2.length} bytes fnv 0x${hash}`, 'm'))
    await page.orbexContext.close()
  })

  test("another site's magazine is refused on the page: nothing of it is asked for or kept", async () => {
    // Served as the other site would, open to every origin.
    const asked = []
    const other = http.createServer((req, res) => {
      asked.push(req.url)
      const file = path.join(tmp, 'mag2', decodeURIComponent(new URL(req.url, 'http://x').pathname).slice(1))
      const found = fs.existsSync(file) && fs.statSync(file).isFile()
      res.writeHead(found ? 200 : 404, { 'Access-Control-Allow-Origin': '*' })
      res.end(found ? fs.readFileSync(file) : '')
    })
    await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve))
    try {
      const elsewhere = `http://127.0.0.1:${other.address().port}/`
      for (const query of [{ magazine: elsewhere, script: script('foreign.txt', 'exit 0\n') }, { magazine: elsewhere }]) {
        const page = await newPage()
        await open(page, server.url, new URLSearchParams(query).toString())
        const result = await waitResult(page, 30)
        assert.equal(result.exit, -1)
        assert.match(await page.locator('#orbex-status').textContent(),
          new RegExp(`^This page shows only magazines from its own site, not from ${elsewhere.slice(0, -1)}\\.$`))
        assert.ok(await page.locator('#orbex-status').isVisible())
        assert.ok(!page.orbexConsole.some((line) => line.startsWith('stub:')), 'the program started')
        assert.deepEqual(await page.evaluate(() => Object.keys(localStorage)), [])
        await page.orbexContext.close()
      }
      assert.deepEqual(asked, [], 'the other site was asked')
    } finally {
      other.close()
    }
  })

  test('a list of too many files and a file over the limit: the rest is loaded, and the page says so', async () => {
    const folder = path.join(tmp, 'limits')
    fs.mkdirSync(path.join(folder, 'data'), { recursive: true })
    fs.writeFileSync(path.join(folder, 'data', 'orbex.dat'), ARCHIVE)
    // Sparse: no disk space taken.
    fs.closeSync(fs.openSync(path.join(folder, 'huge.xm'), 'w'))
    fs.truncateSync(path.join(folder, 'huge.xm'), MAX_FILE_BYTES + 1)
    const names = ['data/orbex.dat', 'huge.xm', ...Array.from({ length: MAX_FILES + 1000 }, (_, i) => `gone-${i}`)]
    fs.writeFileSync(path.join(folder, 'files.txt'), names.join('\n'))
    const page = await newPage()
    const before = server.requests.length
    await open(page, server.url, new URLSearchParams({
      magazine: '_tmp/limits/', script: script('limits.txt', 'cat huge.xm\nexit 0\n'),
    }).toString())
    const result = await waitResult(page, 120)
    assert.equal(result.exit, 0)
    assert.match(result.log, /^archive found/m)
    assert.match(result.log, /^cat huge.xm missing/m)
    // Nothing past the first MAX_FILES names is ever asked for.
    const asked = server.requests.slice(before).filter((r) => r.startsWith('/_tmp/limits/') && !r.endsWith('files.txt'))
    assert.ok(asked.includes('/_tmp/limits/huge.xm'), asked.join(' '))
    assert.ok(!asked.some((r) => Number(/gone-(\d+)$/.exec(r)?.[1]) >= MAX_FILES - 2), 'a name past the list\'s end was fetched')
    assert.deepEqual(await page.locator('#orbex-notices li').allTextContents(), [
      `The magazine lists too many files: only the first ${MAX_FILES.toLocaleString('en')} are loaded.`,
      'huge.xm is larger than 64 MiB and is not loaded.',
    ])
    assert.ok(await page.locator('#orbex-notices').isVisible())
    await page.orbexContext.close()
  })

  test('a file of the magazine opened as a document runs no script', async () => {
    const folder = path.join(tmp, 'documents')
    fs.mkdirSync(folder)
    fs.writeFileSync(path.join(folder, 'pic.svg'), SCRIPTED_SVG)
    fs.writeFileSync(path.join(folder, 'page.html'), '<!doctype html><script>console.log("script ran")</script>')
    fs.writeFileSync(path.join(folder, 'notes.txt'), '<html><script>console.log("script ran")</script></html>')
    fs.writeFileSync(path.join(folder, 'notes.dat'), '<html><script>console.log("script ran")</script></html>')
    const page = await newPage()
    page.orbexConsole = []
    page.on('console', (m) => page.orbexConsole.push(m.text()))
    page.on('download', (d) => d.cancel())
    for (const name of ['pic.svg', 'page.html', 'notes.txt', 'notes.dat']) {
      await page.goto(`${server.url}_tmp/documents/${name}`).catch(() => {})
      await sleep(200)
    }
    assert.deepEqual(page.orbexConsole.filter((line) => line.includes('script ran')), [])
    await page.orbexContext.close()
  })

  test('a program that cannot start still gives a result', async () => {
    const broken = await serve(site, { '/orbex-stub.wasm.gz': path.join(tmp, 'no-such.wasm') })
    try {
      const page = await newPage()
      await open(page, broken.url, 'script=x')
      const result = await waitResult(page, 60)
      assert.equal(result.exit, -1)
      assert.match(result.error, /wasm/)
      assert.match(await page.locator('#orbex-status').textContent(), /stopped/)
      await page.orbexContext.close()
    } finally {
      broken.close()
    }
  })

  test('a browser without WebAssembly SIMD is told so, and the program is not started', async () => {
    const page = await newPage()
    // As an older browser: SIMD modules do not validate.
    await page.addInitScript(() => {
      const validate = WebAssembly.validate
      WebAssembly.validate = (bytes) => !new Uint8Array(bytes).includes(253) && validate(bytes)
    })
    await open(page, server.url, '')
    const result = await waitResult(page, 60)
    assert.equal(result.exit, -1)
    assert.match(await page.locator('#orbex-status').textContent(), /too old for the magazine: it needs WebAssembly with SIMD/)
    assert.equal(await page.evaluate(() => window.Module), undefined)
    await page.orbexContext.close()
  })

  test('a script that cannot be fetched is refused by the program', async () => {
    const page = await newPage()
    await open(page, server.url, 'script=_scripts/not-there.txt')
    const result = await waitResult(page, 60)
    assert.equal(result.exit, 1)
    await page.orbexContext.close()
  })
})

if (skip) console.log(`# skipped: ${skip}`)
