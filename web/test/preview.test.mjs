// orbex-tool preview as a maker uses it, in headless Chromium:
// node --test web/test/preview.test.mjs (after web/build.sh built the edition)
// - a new project is served on 127.0.0.1; an article's source is saved and
//   the page shows the new text at the same article and line, the music
//   playing on, within 2 s; so does a new background picture;
// - a new module loads the page again, at the same article and line;
// - a source with a problem shows its file, line and message on the page,
//   over the last good build; fixing it clears it;
// - Ctrl+C (SIGINT) ends the preview, and its temporary files go with it.
import assert from 'node:assert/strict'
import { spawnSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import {
  TOOL, articleSource, builtEdition, makeModule, missingBrowserTool, openBrowsers, startPreview,
} from './fixtures.mjs'

const skip = missingBrowserTool()
const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')

describe('orbex-tool preview', { skip: skip ?? false }, () => {
  let tmp
  let browsers
  let preview
  const project = () => path.join(tmp, 'issue')

  before(async () => {
    tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-preview-test-'))
    const edition = spawnSync(path.join(webDir, 'build.sh'), ['--edition', builtEdition()], { encoding: 'utf8' })
    assert.equal(edition.status, 0, edition.stderr)
    const made = spawnSync(TOOL, ['new', project()], { encoding: 'utf8' })
    assert.equal(made.status, 0, made.stderr)
    preview = await startPreview(project(), { TMPDIR: tmp })
    browsers = await openBrowsers()
  })

  after(async () => {
    await browsers?.close()
    if (preview?.child.exitCode === null) preview.child.kill('SIGKILL')
    fs.rmSync(tmp, { recursive: true, force: true })
  })

  const heading = (page) => page.locator('#orbex-text-title').textContent()
  // A new page past the start picture at the help page (F1, article 2).
  async function atHelp(loudly = false) {
    const page = await browsers.newPage(loudly)
    await page.goto(preview.url)
    await page.waitForFunction(() => window.orbex?.stats.presents > 3, null, { timeout: 60000 })
    await page.locator('#orbex-canvas').click({ position: { x: 320, y: 240 } })
    await page.waitForFunction(() => document.getElementById('orbex-text-title').textContent !== 'No article shown')
    await page.keyboard.press('F1')
    await page.waitForFunction(() => /Help|Hilfe/i.test(document.getElementById('orbex-text-title').textContent))
    return page
  }

  test('a saved article is shown again at its article and line within 2 s, the music playing on', async () => {
    const page = await atHelp(true)
    const title = await heading(page)
    const source = articleSource(project(), 2)
    const text = fs.readFileSync(source, 'utf8')
    // A page loaded again would start the music again, and lose this mark.
    const music = () => page.evaluate(() => [window.orbex.sound.playing, window.orbex.sound.inWorklet, window.kept])
    await page.evaluate(() => { window.kept = true })
    const playing = await music()

    // Only what was built is served, not the sources.
    const listed = await (await fetch(new URL('magazine/files.txt', preview.url))).text()
    assert.doesNotMatch(listed, /^src\//m)
    const saved = Date.now()
    fs.writeFileSync(source, text.replace(/\n\n/, '\n\nFreshly saved words.\n\n'))
    await page.waitForFunction(() => document.getElementById('orbex-text-lines').textContent.includes('Freshly saved'),
      null, { timeout: 2000 })
    console.log(`# shown ${Date.now() - saved} ms after the save`)
    assert.equal(await heading(page), title, 'another article is shown')
    assert.deepEqual(await music(), playing, 'the music started again')
    assert.equal(await page.locator('#orbex-preview-problems').isHidden(), true)

    // A new background is read in place too: the picture changes, the
    // article and the music stay.
    const canvas = page.locator('#orbex-canvas')
    const before = await canvas.screenshot()
    const pictures = path.join(project(), 'src', 'pictures')
    fs.copyFileSync(path.join(pictures, 'ende.png'), path.join(pictures, 'bg.png'))
    const deadline = Date.now() + 2000
    while ((await canvas.screenshot()).equals(before)) {
      assert.ok(Date.now() < deadline, 'the new background is not shown within 2 s')
    }
    assert.equal(await heading(page), title, 'another article is shown')
    assert.deepEqual(await music(), playing, 'the music started again')

    await page.orbexContext.close()
  })

  test('a new module loads the page again at the same article and line, past the start picture', async () => {
    const page = await atHelp()
    await page.keyboard.press('PageDown')
    const firstInView = () => page.evaluate(() => document.querySelector('#orbex-text-lines [aria-current]')?.textContent)
    await page.waitForFunction(() => document.querySelector('#orbex-text-lines [aria-current]') !==
      document.querySelector('#orbex-text-lines > *'))
    const title = await heading(page)
    const line = await firstInView()
    await page.evaluate(() => { window.kept = true })

    const loaded = page.waitForEvent('load', { timeout: 5000 })
    fs.writeFileSync(path.join(project(), 'src', 'music', 'calm.xm'), makeModule([214, 190, 170, 160]))
    await loaded
    // Shown again without a click: the start picture was passed by itself.
    await page.waitForFunction((t) => document.getElementById('orbex-text-title').textContent === t, title,
      { timeout: 10000 })
    assert.equal(await page.evaluate(() => window.kept), undefined, 'the page was not loaded again')
    await page.waitForFunction(() => document.querySelector('#orbex-text-lines [aria-current]'))
    assert.equal(await firstInView(), line)
    await page.orbexContext.close()
  })

  test('a problem in a source is shown with its file, line and message, and goes when it is fixed', async () => {
    const page = await browsers.newPage()
    await page.goto(preview.url)
    await page.waitForFunction(() => window.orbex?.stats.presents > 3, null, { timeout: 60000 })
    const source = articleSource(project(), 2)
    const good = fs.readFileSync(source, 'utf8')
    fs.writeFileSync(source, good + '\n{link 99 0 #ff0000}broken\n')
    const problems = page.locator('#orbex-preview-problems')
    await problems.waitFor({ state: 'visible', timeout: 5000 })
    const shown = await problems.textContent()
    assert.match(shown, new RegExp(`${path.basename(source).replace('.', '\\.')}:\\d+: `), shown)
    assert.equal(await page.getByRole('alert').count(), 1)
    fs.writeFileSync(source, good)
    await problems.waitFor({ state: 'hidden', timeout: 5000 })
    await page.orbexContext.close()
  })

  test('Ctrl+C ends the preview and leaves nothing behind', async () => {
    const ended = new Promise((resolve) => preview.child.on('exit', (code, signal) => resolve({ code, signal })))
    preview.child.kill('SIGINT')
    assert.deepEqual(await ended, { code: 0, signal: null })
    assert.deepEqual(fs.readdirSync(tmp).filter((name) => name.startsWith('orbex-preview-')), [])
    await assert.rejects(fetch(preview.url), 'the server still answers')
  })
})
