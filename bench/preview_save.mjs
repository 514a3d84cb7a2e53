#!/usr/bin/env node
// From a save to the page: the time from writing one article's source of a
// 100-article project until orbex-tool preview's page, in headless
// Chromium, shows the new text at that article. Goal: 500 ms or less.
//
//   node bench/preview_save.mjs [RUNS]
//
// Makes the project with orbex-tool new and 97 more articles (each a copy of
// article 3), builds the web edition with web/build.sh --edition
// (ORBEX_WEB_BUILD, default build-web) and runs build/orbex-tool preview
// (ORBEX_TOOL). Prints every run and the median (bench/README.md).
import { spawnSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import { fileURLToPath, pathToFileURL } from 'node:url'

const root = path.join(path.dirname(fileURLToPath(import.meta.url)), '..')
const fixtures = await import(pathToFileURL(path.join(root, 'web', 'test', 'fixtures.mjs')).href)
const { TOOL, articleSource, builtEdition, startPreview } = fixtures
const { launch } = await import(pathToFileURL(path.join(root, 'web', 'test', 'run-site.mjs')).href)
// The preview's own way in (common/start.h), to reach the article.
const PREVIEW_REOPEN_MESSAGE = 0x8001
const ARTICLES = 100
const ARTICLE = 50

const runs = Number(process.argv[2] || 15)
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-preview-bench-'))
let preview
let browser
try {
  const edition = spawnSync(path.join(root, 'web', 'build.sh'), ['--edition', builtEdition()], { encoding: 'utf8' })
  if (edition.status !== 0) throw new Error(`web/build.sh --edition failed: ${edition.stderr}`)
  const project = path.join(tmp, 'issue')
  if (spawnSync(TOOL, ['new', project]).status !== 0) throw new Error('orbex-tool new failed')
  const model = fs.readFileSync(articleSource(project, 3), 'utf8')
  for (let n = 4; n <= ARTICLES; ++n) {
    fs.writeFileSync(path.join(project, 'src', 'articles', `${String(n).padStart(3, '0')}-page.txt`),
      model.replace(/^Title: .*$/m, `Title: Page ${n}`))
  }
  for (const name of fs.readdirSync(path.join(project, 'src', 'articles'))) {
    const n = Number.parseInt(name, 10)
    if (n < 4) fs.renameSync(path.join(project, 'src', 'articles', name),
      path.join(project, 'src', 'articles', String(n).padStart(3, '0') + name.slice(name.indexOf('-'))))
  }
  preview = await startPreview(project, { TMPDIR: tmp })
  browser = await launch()
  const page = await browser.newPage()
  await page.goto(preview.url)
  await page.waitForFunction(() => window.orbex?.stats.presents > 3, null, { timeout: 60000 })
  await page.evaluate(([message, article]) => window.orbex.input.post(message, article, 0),
    [PREVIEW_REOPEN_MESSAGE, ARTICLE])
  await page.waitForFunction((title) => document.getElementById('orbex-text-title').textContent === title,
    `Page ${ARTICLE}`, { timeout: 10000 })
  const source = articleSource(project, ARTICLE)
  const times = []
  for (let i = 0; i < runs; ++i) {
    const word = `Saved${i}x${Date.now() % 100000}`
    const text = fs.readFileSync(source, 'utf8').replace(/\n\n/, `\n\n${word}\n`)
    const saved = performance.now()
    fs.writeFileSync(source, text)
    await page.waitForFunction((w) => document.getElementById('orbex-text-lines').textContent.includes(w), word,
      { timeout: 10000, polling: 5 })
    times.push(performance.now() - saved)
    console.log(`run ${i + 1}: ${times.at(-1).toFixed(0)} ms`)
    await new Promise((resolve) => setTimeout(resolve, 300))
  }
  times.sort((a, b) => a - b)
  console.log(`median from save to shown, ${ARTICLES} articles: ${times[Math.floor(times.length / 2)].toFixed(0)} ms ` +
    '(goal 500 ms)')
} finally {
  await browser?.close()
  if (preview) {
    preview.child.kill('SIGINT')
    await new Promise((resolve) => preview.child.on('exit', resolve))
  }
  fs.rmSync(tmp, { recursive: true, force: true })
}
