// The article's text in the page, end to end: node --test web/test/text.test.mjs
//
// Builds the site from a copy of the sample magazine (ORBEX_SAMPLE_MAGAZINE,
// default build/magazine) and reads it by hand in Debian's Chromium: the
// text section holds the shown article, read from the accessibility tree; a
// link activated there gives the same frame as a click on that link in the
// picture; the browser finds a word of the current article and none of the
// one before; axe-core finds no serious or critical violation. Skips, saying
// why, when Chromium, emcc, playwright-core, axe-core or the sample is missing.
import assert from 'node:assert/strict'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import { SAMPLE_MAGAZINE, buildSite, missingBrowserTool, settledFrame, sleep } from './fixtures.mjs'
import { launch, open, serve } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const sample = SAMPLE_MAGAZINE
const axePath = path.join(webDir, 'node_modules', '@axe-core', 'playwright')

function missingTool() {
  const tool = missingBrowserTool()
  if (tool) return tool
  if (!fs.existsSync(axePath)) return '@axe-core/playwright is missing: cd web && npm ci'
  if (!fs.existsSync(path.join(sample, 'data', 'orbex.dat'))) return `the sample magazine is missing (${sample})`
  return null
}

const skip = missingTool()

// A frame pixel's place on the page.
async function pagePoint(page, x, y) {
  const box = await page.locator('#orbex-canvas').boundingBox()
  return [box.x + ((x + 0.5) * box.width) / 640, box.y + ((y + 0.5) * box.height) / 480]
}

const heading = (page) => page.locator('#orbex-text-title').textContent()
const linesText = (page) => page.locator('#orbex-text-lines').innerText()
const words = (text) => new Set(text.split(/[^\p{L}]+/u).filter((w) => w.length >= 6))

describe('the article text in the page', { skip: skip ?? false, timeout: 900000 }, () => {
  let tmp
  let server
  let browser

  before(async () => {
    tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-text-'))
    const magazine = path.join(tmp, 'sample')
    fs.cpSync(sample, magazine, { recursive: true, filter: (f) => !/orbex\.(cfg|log)$|save\.txt$/.test(f) })
    const site = path.join(tmp, 'site')
    const { seconds } = buildSite(webDir, magazine, site)
    console.log(`# site built in ${seconds.toFixed(1)} s`)
    // The page's own modules, which the site has bundled, for the test that
    // takes one alone.
    const build = process.env.ORBEX_WEB_BUILD ?? path.join(webDir, '..', 'build-web')
    server = await serve(site, {
      '/src/keys.mjs': path.join(build, 'keys.mjs'),
      '/src/constants.mjs': path.join(build, 'constants.mjs'),
      '/src/': path.join(webDir, 'src'),
    })
    browser = await launch()
  })

  after(async () => {
    await browser?.close()
    server?.close()
    if (tmp) fs.rmSync(tmp, { recursive: true, force: true })
  })

  test('the text follows the picture, its links click as the picture does, and axe finds nothing serious', async () => {
    const { default: AxeBuilder } = await import(path.join(axePath, 'dist', 'index.mjs'))
    const context = await browser.newContext()
    const page = await context.newPage()
    await open(page, server.url, 'args=n')
    await page.waitForFunction(() => window.orbex?.stats.presents > 0, null, { timeout: 60000 })
    assert.equal(await heading(page), 'No article shown')
    // The start picture takes a click once its first second is over.
    await sleep(1300)
    const neutral = await pagePoint(page, 600, 120)
    for (let k = 0; k < 20 && (await heading(page)) === 'No article shown'; ++k) {
      await page.mouse.click(...neutral)
      await sleep(300)
    }
    assert.equal(await heading(page), 'Contents')

    // The contents page, as the accessibility tree reads it.
    const tree = await page.locator('#orbex-text').ariaSnapshot()
    assert.match(tree, /heading "Contents"/)
    const links = page.locator('#orbex-text a.orbex-article-link:not([aria-disabled])')
    assert.ok((await links.count()) > 0, 'no article link in view on the contents page')
    const link = links.first()
    const name = (await link.textContent()).trim()
    assert.ok(tree.includes(`link "${name}"`), `the link "${name}" is not in the tree:\n${tree}`)
    const contents = await linesText(page)

    const axe = await new AxeBuilder({ page }).analyze()
    const serious = axe.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
    assert.deepEqual(serious.map((v) => `${v.id}: ${v.help}`), [])

    // Activated from the text, by keyboard, as a screen reader does.
    const point = await page.evaluate(() => {
      const text = window.orbex.text
      const first = [...text.links.values()].find(({ element }) => !element.hasAttribute('aria-disabled') &&
        element.classList.contains('orbex-article-link'))
      return text.points.get(first.link.place)
    })
    await link.focus()
    await page.keyboard.press('Enter')
    await page.waitForFunction(() => document.getElementById('orbex-text-title').textContent !== 'Contents',
      null, { timeout: 10000 })
    const title = await heading(page)
    assert.equal(await page.locator('#orbex-text-news').textContent().then((t) => t.startsWith(title)), true,
      'the live region did not announce the article')
    const fromText = await settledFrame(page)
    const article = await linesText(page)

    // The browser finds a word of this article and none of the contents page.
    // getByText matches parts of texts, whatever their case.
    const has = (text, w) => text.toLowerCase().includes(w.toLowerCase())
    const now = [...words(article)].find((w) => !has(contents, w))
    const before = [...words(contents)].find((w) => !has(article, w))
    assert.ok(now && before, 'no word that tells the two pages apart')
    assert.ok((await page.getByText(now).count()) > 0, `"${now}" is not found`)
    assert.equal(await page.getByText(before).count(), 0, `"${before}" of the contents page is still found`)

    // Back, and the same link clicked in the picture: a move, then a click a
    // frame later, as a reader's hand does it.
    await page.mouse.click(...neutral, { button: 'right' })
    await page.waitForFunction(() => document.getElementById('orbex-text-title').textContent === 'Contents',
      null, { timeout: 10000 })
    assert.ok((await page.getByText(before).count()) > 0, `"${before}" is not found on the contents page`)
    const onLink = await pagePoint(page, point[0], point[1])
    await page.mouse.move(...onLink)
    await sleep(300)
    for (let k = 0; k < 5 && (await heading(page)) === 'Contents'; ++k) {
      await page.mouse.click(...onLink)
      await sleep(400)
    }
    assert.equal(await heading(page), title)
    assert.equal(await settledFrame(page), fromText, 'the picture differs from the one the text\'s link gave')
    await context.close()
  })

  test('a text made again keeps the elements of the lines it shares; a splice gives the text a fresh write gives', async () => {
    const context = await browser.newContext()
    const page = await context.newPage()
    // The page's module alone, on a document of the site's origin with the
    // text section's elements and no program.
    const blank = server.url + 'text-alone.html'
    await page.route(blank, (route) => route.fulfill({ contentType: 'text/html', body: `<!doctype html>
      <section id="orbex-text"><h1 id="orbex-text-title"></h1><p id="orbex-text-author"></p>
      <div id="orbex-text-lines"></div></section><p id="orbex-text-news"></p><button id="orbex-text-toggle"></button>` }))
    await page.goto(blank)
    const result = await page.evaluate(async (url) => {
      const { ArticleTextView } = await import(url)
      const followed = []
      const view = new ArticleTextView(document, {})
      view.follow = (place) => followed.push(place)
      const link = (place, target, line) => ({ place, line, music: false, module: '', target, targetLine: 0 })
      const inView = (...places) => ({ first: 0, last: 9, points: places.map((p) => [p, 1, 1]) })
      view.update({ shown: true, selection: 1, version: 1, article: 2, title: 'T', author: '', lines: [
        [['Hello', 'ffffff', -1]], [['go ', 'ff0000', 40], [' ', 'ffffff', 40]]], links: [link(40, 2, 1)],
      view: inView(40) })
      const [hello, go] = view.lineElements
      const goLink = view.links.get(40).element
      // A line wraps above: a new first line with a link of its own; the
      // link of the line that moved keeps its name and its element.
      view.update({ shown: true, selection: 1, version: 2, splice: { at: 0, remove: 0,
        lines: [[['x', '00ff00', 7]]], links: [link(7, 3, 0)] }, view: inView(7, 40) })
      const lines = document.getElementById('orbex-text-lines')
      document.querySelectorAll('#orbex-text-lines a').forEach((a) => a.click())
      const kept = { keptHello: view.lineElements[1] === hello,
        keptGo: view.lineElements[2] === go && view.links.get(40).element === goLink,
        enabled: [...lines.querySelectorAll('a:not([aria-disabled])')].length,
        html: lines.innerHTML, anchors: lines.querySelectorAll('a').length, followed }
      // The same text written afresh.
      view.update({ shown: false })
      view.update({ shown: true, selection: 1, version: 2, article: 2, title: 'T', author: '', lines: [
        [['x', '00ff00', 7]], [['Hello', 'ffffff', -1]], [['go ', 'ff0000', 40], [' ', 'ffffff', 40]]],
      links: [link(7, 3, 0), link(40, 2, 2)], view: inView(7, 40) })
      // A line replaced: its link goes, the others stay.
      const fresh = lines.innerHTML
      view.update({ shown: true, selection: 1, version: 3, splice: { at: 0, remove: 1, lines: [], links: [] },
        view: inView(40) })
      return { ...kept, fresh, links: [...view.links.keys()], afterRemoval: lines.querySelectorAll('a').length }
    }, server.url + 'src/text.mjs')
    const { html, fresh, ...kept } = result
    assert.deepEqual(kept, { keptHello: true, keptGo: true, enabled: 2, anchors: 2, followed: [7, 40], links: [40],
      afterRemoval: 1 })
    assert.equal(html, fresh)
    await context.close()
  })
})
