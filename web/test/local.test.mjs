// Magazines from the reader's disk and a shelf of issues, in the browser:
// node --test web/test/local.test.mjs
//
// Builds one site of two issues with web/build.sh (the sample magazine,
// ORBEX_SAMPLE_MAGAZINE, as a folder, and a magazine written by the test as
// a zip), serves it and drives Debian's Chromium through playwright-core:
// - the shelf lists both issues with their start pictures and opens each;
// - a zip chosen with the page's button gives the native headless viewer's
//   shots and log (ORBEX_BINARY), and so does a folder dropped on the page;
// - each hostile zip is refused with a message on the page, which goes on
//   showing what it showed.
// Skips, saying why, when Chromium, emcc, playwright-core, the native viewer
// or the sample magazine is missing.
import assert from 'node:assert/strict'
import { execFileSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import {
  NATIVE_BINARY, SAMPLE_MAGAZINE, buildSite, shelfLinks, copySample, firstDifference, frameHash, missingNativeTool, openBrowsers,
  readDataUrl, readPng,
} from './fixtures.mjs'
import { FOREIGN_SCRIPT, writeForeignMagazine } from './foreign.mjs'
import { open, serve, waitResult } from './run-site.mjs'
import { folderEntries, hostileZips, zipBytes } from './zips.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const binary = NATIVE_BINARY
const sample = SAMPLE_MAGAZINE
// The sample's issue name holds what a link must encode to reach it.
const ISSUE = 'sample #5 ?50%'
const skip = missingNativeTool()

// The frame's words as the page holds them (canvas.mjs), from RGB bytes.
function frameHashOfRgb(rgb) {
  let h = 0
  for (let i = 0; i < rgb.length; i += 3) {
    h = (Math.imul(h, 31) + ((rgb[i] | (rgb[i + 1] << 8) | (rgb[i + 2] << 16) | 0xff000000) | 0)) | 0
  }
  return h
}

function shotsOf(script) {
  return [...script.matchAll(/^\s*shot\s+(\S+)/gm)].map((m) => m[1])
}

describe('magazines from the disk and a shelf of issues, in the browser', { skip: skip ?? false, timeout: 900000 }, () => {
  let tmp
  let site
  let server
  let browsers
  const native = {}

  // The native headless viewer's run of a copy of the magazine in dir.
  function runNative(dir, name) {
    const copy = path.join(tmp, 'native-' + name)
    fs.cpSync(dir, copy, { recursive: true })
    execFileSync(binary, ['l'], {
      cwd: copy,
      env: { ORBEX_VIDEO: 'headless', ORBEX_CLOCK: 'step:20', ORBEX_SCRIPT: path.join(tmp, 'served', 'foreign.txt') },
      stdio: ['ignore', 'ignore', 'inherit'],
    })
    native[name] = copy
  }

  before(async () => {
    tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-local-'))
    const issue = path.join(tmp, ISSUE)
    copySample(issue)
    fs.mkdirSync(path.join(tmp, 'served'))
    fs.writeFileSync(path.join(tmp, 'served', 'foreign.txt'), FOREIGN_SCRIPT)
    // The second issue, and the reader's own magazines: a zip at 24 bits, a
    // folder at 16.
    for (const [name, cfgByte] of [['foreign', 2], ['foreign-16', 3]]) {
      writeForeignMagazine(path.join(tmp, 'disk', name), cfgByte)
      runNative(path.join(tmp, 'disk', name), name)
    }
    fs.writeFileSync(path.join(tmp, 'disk', 'foreign.zip'), zipBytes(folderEntries(path.join(tmp, 'disk', 'foreign'),
      'foreign')))
    site = path.join(tmp, 'site')
    const { seconds } = buildSite(webDir, [issue, path.join(tmp, 'disk', 'foreign.zip')], site)
    console.log(`# site built in ${seconds.toFixed(1)} s`)
    server = await serve(site, { '/_served/': path.join(tmp, 'served') })
    browsers = await openBrowsers()
  })

  after(async () => {
    await browsers?.close()
    server?.close()
    if (tmp) fs.rmSync(tmp, { recursive: true, force: true })
  })

  test('the shelf lists both issues with their start pictures, and opens each', async () => {
    const page = await browsers.newPage()
    await open(page, server.url)
    await page.waitForURL(/\/shelf\.html$/)
    const items = page.locator('#orbex-shelf li')
    assert.deepEqual(await items.locator('h2').allTextContents(), [ISSUE, 'foreign'])
    // Each cover shows, once it is in view.
    for (const img of await page.locator('#orbex-shelf img').all()) {
      await img.scrollIntoViewIfNeeded()
      await img.evaluate((element) => element.decode())
      assert.equal(await img.evaluate((element) => element.naturalWidth), 640)
    }
    const starts = {
      [ISSUE]: fs.readFileSync(path.join(sample, 'data', 'begin.raw')),
      foreign: fs.readFileSync(path.join(tmp, 'disk', 'foreign', 'data', 'begin.raw')),
    }
    for (const [name, start] of Object.entries(starts)) {
      const cover = readPng(fs.readFileSync(path.join(site, 'covers', name + '.png')))
      assert.ok(cover.rgb.equals(start), `the cover of ${name} is not its start picture`)
    }
    for (const name of Object.keys(starts)) {
      await page.goto(server.url + 'shelf.html')
      await page.getByRole('link', { name }).click()
      await page.waitForURL((url) => url.href.endsWith(shelfLinks(site).get(name)))
      // Its first frames show its start picture.
      await page.waitForFunction(() => window.orbex?.stats.presents >= 2, null, { timeout: 30000 })
      assert.equal(await frameHash(page), frameHashOfRgb(starts[name]), `${name} does not start with its picture`)
    }
    assert.deepEqual(page.orbexConsole.filter((line) => /policy violation|pageerror/.test(line)), [])
    await page.orbexContext.close()
  })

  // The page, scripted, with nothing to show yet (its magazine is missing,
  // so its own run ends at once): what the reader opens next runs the script.
  async function scriptedPage() {
    const page = await browsers.newPage()
    await open(page, server.url, 'magazine=_served/none/&args=l&clock=step:20&script=_served/foreign.txt')
    await waitResult(page, 60)
    return page
  }

  function compareWithNative(result, name) {
    const want = fs.readFileSync(path.join(native[name], 'orbex.log'), 'latin1')
    assert.equal(result.log, want, `${name}: the log differs from the native one`)
    const names = shotsOf(FOREIGN_SCRIPT)
    assert.deepEqual(Object.keys(result.shots).sort(), [...names].sort())
    const failures = names.map((shot) => {
      const d = firstDifference(readDataUrl(result.shots[shot]).rgb,
        readPng(fs.readFileSync(path.join(native[name], shot))).rgb)
      return d && `${name}/${shot}: (${d.x}, ${d.y}) is ${d.got}, not ${d.want}`
    }).filter(Boolean)
    assert.deepEqual(failures, [])
  }

  test("a zip chosen with the page's button gives the desktop's shots and log", async () => {
    const page = await scriptedPage()
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#orbex-open-zip')])
    assert.equal(chooser.isMultiple(), false)
    await chooser.setFiles(path.join(tmp, 'disk', 'foreign.zip'))
    await page.waitForURL(/local=foreign\.zip/)
    const params = new URL(page.url()).searchParams
    assert.equal(params.has('magazine'), false)
    assert.equal(params.get('script'), '_served/foreign.txt')
    const result = await waitResult(page, 240)
    assert.equal(result.exit, 0, page.orbexConsole.join('\n'))
    compareWithNative(result, 'foreign')
    // Kept for a reload, by this browser only: another has nothing to show.
    const kept = await page.evaluate(() => window.orbex.cfgKey)
    assert.equal(kept, 'orbex5:cfg:local:foreign.zip')
    const other = await browsers.newPage()
    await open(other, page.url().replace(/&?script=[^&]*/, ''))
    assert.equal((await waitResult(other, 30)).error,
      'Cannot open foreign.zip: this browser keeps it no longer: open it again.')
    await other.orbexContext.close()
    await page.orbexContext.close()
  })

  test("a folder dropped on the page gives the desktop's shots and log", async () => {
    const page = await scriptedPage()
    // A drop as the system's file manager gives it, folder and all.
    const client = await page.context().newCDPSession(page)
    const data = { items: [], files: [path.join(tmp, 'disk', 'foreign-16')], dragOperationsMask: 1 }
    for (const type of ['dragEnter', 'dragOver', 'drop']) {
      await client.send('Input.dispatchDragEvent', { type, x: 200, y: 200, data })
    }
    await page.waitForURL(/local=foreign-16/)
    const result = await waitResult(page, 240)
    assert.equal(result.exit, 0, page.orbexConsole.join('\n'))
    compareWithNative(result, 'foreign-16')

    // The folder button takes a folder too.
    await page.setInputFiles('#orbex-folder-input', path.join(tmp, 'disk', 'foreign'))
    await page.waitForURL(/local=foreign(&|$)/)
    await waitResult(page, 240)
    await page.orbexContext.close()
  })

  test('each hostile zip is refused with a message, and the page goes on as it was', async () => {
    const good = {}
    for (const name of ['data/orbex.dat', 'data/begin.raw', 'extreme2.xm']) {
      good[name] = fs.readFileSync(path.join(tmp, 'disk', 'foreign', name))
    }
    const page = await browsers.newPage()
    await open(page, server.url, shelfLinks(site).get(ISSUE).split('?')[1])
    await page.waitForFunction(() => window.orbex?.stats.presents >= 1, null, { timeout: 30000 })
    const shown = page.url()
    const message = page.locator('#orbex-open-message')
    for (const zip of await hostileZips(good)) {
      const file = path.join(tmp, zip.name)
      fs.writeFileSync(file, zip.bytes)
      const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#orbex-open-zip')])
      await chooser.setFiles(file)
      await page.waitForFunction(() => /^Cannot open/.test(document.getElementById('orbex-open-message').textContent),
        null, { timeout: 60000 })
      const text = await message.textContent()
      assert.ok(text.startsWith(`Cannot open ${zip.name}: `), text)
      assert.match(text, zip.refused, zip.name)
      assert.equal(await message.isVisible(), true)
      assert.equal(page.url(), shown, `${zip.name}: the page went elsewhere`)
      assert.equal(await page.evaluate(() => document.getElementById('orbex-result')), null,
        `${zip.name}: the magazine shown was stopped`)
      await page.evaluate(() => { document.getElementById('orbex-open-message').textContent = '' })
      fs.rmSync(file)
    }
    // Nothing of them was kept.
    const kept = await page.evaluate(() => new Promise((resolve) => {
      const request = indexedDB.open('orbex5', 1)
      request.onupgradeneeded = () => request.result.createObjectStore('local')
      request.onsuccess = () => {
        const get = request.result.transaction('local').objectStore('local').get('magazine')
        get.onsuccess = () => resolve(get.result ?? null)
      }
    }))
    assert.equal(kept, null)
    await page.orbexContext.close()
  })
})

if (skip) console.log(`# skipped: ${skip}`)
