#!/usr/bin/env node
// The worst viewing frame natively and in the browser, measured in turns in
// one run on the same machine, so that both see the same load:
//
//   node bench/web_vs_native.mjs TIMING_SITE ORBEX_BENCH [ROUNDS]
//
// TIMING_SITE is a site built with ORBEX_WEB_PROGRAM=orbex-frame-timing
// (bench/web_frame_timing.cpp), ORBEX_BENCH the native benchmark program
// (build-release/bench/orbex_bench). Each round runs BM_DrawFrame/long_end_*
// natively, then the site in headless Chromium as it is and with its
// processor four times slower (Chromium's CPU throttling, as on a phone).
// Each figure is the quickest of its repetitions (natively) or batches (in
// the browser), wall-clock; throttled, the mean over the browser's batches.
// Prints every round and the medians, and the browser's draw plus present
// of a frame as read (the same frame again) and while scrolling, over the
// native draw of the same depth. Wall-clock everywhere: the browser has no
// other clock.
import { execFileSync } from 'node:child_process'
import path from 'node:path'
import { fileURLToPath, pathToFileURL } from 'node:url'

const web = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', 'web')
const { launch, open, serve, slowDown, waitResult } = await import(pathToFileURL(path.join(web, 'test', 'run-site.mjs')).href)

const DEPTHS = [24, 16]
const SLOWDOWNS = [1, 4]

// The quickest of five repetitions, as the browser program takes its
// quickest batch: on a shared machine other work only ever adds time.
function native(program) {
  const out = execFileSync(program, [
    '--benchmark_filter=BM_DrawFrame/long_end_(24|16)$', '--benchmark_min_time=0.1', '--benchmark_repetitions=5',
    '--benchmark_format=json',
  ], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] })
  const figures = {}
  // Google Benchmark writes NaN, which JSON has not, into some aggregates.
  for (const b of JSON.parse(out.replace(/\bNaN\b/g, 'null')).benchmarks) {
    if (b.run_type !== 'iteration') continue
    const depth = /long_end_(\d+)$/.exec(b.run_name ?? b.name)[1]
    figures[depth] = Math.min(figures[depth] ?? Infinity, b.real_time / 1000) // ns to µs
  }
  return figures
}

// The timing program's line for each depth, as numbers (µs).
async function browserRun(browser, url, slowdown) {
  const page = await browser.newPage()
  if (slowdown !== 1) await slowDown(page, slowdown)
  await open(page, url, 'args=n')
  const result = await waitResult(page, 600)
  await page.close()
  if (result.exit !== 0) throw new Error('the timing program failed: ' + page.orbexConsole.join('\n'))
  // The quickest batch where the page runs at full speed, the mean over all
  // batches where it is throttled: throttling pauses it in slices, and a
  // short batch can fall between two.
  const figures = {}
  for (const line of page.orbexConsole) {
    const m = /long_end_(\d+)( mean)? drawFrame ([\d.]+) us, present ([\d.]+) us unchanged, ([\d.]+) us changed; draw\+present ([\d.]+) us reading, ([\d.]+) us scrolling/.exec(line)
    if (m && (m[2] !== undefined) === (slowdown !== 1)) {
      const [draw, unchanged, changed, reading, scrolling] = m.slice(3).map(Number)
      figures[m[1]] = { draw, unchanged, changed, reading, scrolling }
    }
  }
  return figures
}

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b)
  const mid = sorted.length >> 1
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2
}
const us = (v) => `${Math.round(v)} µs`

const [site, program, roundsText = '3'] = process.argv.slice(2)
if (!site || !program) {
  console.error('usage: web_vs_native.mjs TIMING_SITE ORBEX_BENCH [ROUNDS]')
  process.exit(2)
}
const server = await serve(site)
const browser = await launch()
const rounds = []
try {
  for (let r = 0; r < Number(roundsText); ++r) {
    const round = { native: native(program) }
    for (const slowdown of SLOWDOWNS) round[slowdown] = await browserRun(browser, server.url, slowdown)
    rounds.push(round)
    for (const depth of DEPTHS) {
      const b = round[1][depth]
      const slow = round[4][depth]
      console.log(`round ${r + 1} long_end_${depth}: native draw ${us(round.native[depth])}; browser draw ` +
        `${us(b.draw)}, present ${us(b.unchanged)} unchanged / ${us(b.changed)} changed, draw+present ` +
        `${us(b.reading)} reading / ${us(b.scrolling)} scrolling; at 4x slower ${us(slow.reading)} reading / ` +
        `${us(slow.scrolling)} scrolling`)
    }
  }
} finally {
  await browser.close()
  server.close()
}
console.log('\nmedians over the rounds (ratios: each round\'s browser figure over its native draw)')
for (const depth of DEPTHS) {
  const m = (f) => median(rounds.map(f))
  console.log(`long_end_${depth}: native draw ${us(m((r) => r.native[depth]))}`)
  for (const slowdown of SLOWDOWNS) {
    const k = (key) => m((r) => r[slowdown][depth][key])
    const ratio = (key) => m((r) => r[slowdown][depth][key] / r.native[depth]).toFixed(2)
    console.log(`  browser${slowdown === 1 ? '' : ` at ${slowdown}x slower (means)`}: draw ${us(k('draw'))}, present ` +
      `${us(k('unchanged'))} unchanged / ${us(k('changed'))} changed; draw+present ${us(k('reading'))} reading ` +
      `(${ratio('reading')}x native), ${us(k('scrolling'))} scrolling (${ratio('scrolling')}x native)`)
  }
}
