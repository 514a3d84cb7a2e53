#!/usr/bin/env node
// Time from navigation to the first frame on the canvas, in fresh browser
// contexts (nothing cached), for bench/README.md:
//   node web/test/first-frame.mjs SITE_DIR [RUNS] [QUERY]
// Prints every run (first frame, files in, music worklet ready, in ms after
// navigation) and the median. Nothing is clicked, so the music waits for a
// gesture as a reader's would.
import { launch, serve } from './run-site.mjs'

const [site, runs = '7', query = ''] = process.argv.slice(2)
if (!site) {
  console.error('usage: first-frame.mjs SITE_DIR [RUNS] [QUERY]')
  process.exit(2)
}
const server = await serve(site)
const browser = await launch()
const firsts = []
try {
  for (let i = 0; i < Number(runs); ++i) {
    const context = await browser.newContext()
    const page = await context.newPage()
    // Polled through the DevTools protocol: playwright's own evaluations
    // count as a user gesture, which would let the music start.
    const cdp = await context.newCDPSession(page)
    await page.goto(server.url + (query ? '?' + query : ''))
    const stats = await new Promise((resolve, reject) => {
      const deadline = Date.now() + 30000
      const poll = async () => {
        const answer = await cdp.send('Runtime.evaluate', {
          expression: 'window.orbex && window.orbex.stats', returnByValue: true,
        })
        const s = answer.result.value
        if (s && s.firstFrameMs !== null) resolve(s)
        else if (Date.now() > deadline) reject(new Error('no frame within 30 s'))
        else setTimeout(poll, 20)
      }
      poll()
    })
    firsts.push(stats.firstFrameMs)
    const ms = (v) => (v === null || v === undefined ? '-' : v.toFixed(0))
    console.log(`run ${i + 1}: first frame ${ms(stats.firstFrameMs)} ms, files ${ms(stats.filesMs)} ms, ` +
      `worklet ${ms(stats.workletMs)} ms`)
    await context.close()
  }
} finally {
  await browser.close()
  server.close()
}
firsts.sort((a, b) => a - b)
console.log(`median ${firsts[firsts.length >> 1].toFixed(0)} ms, from ${firsts[0].toFixed(0)} to ` +
  `${firsts.at(-1).toFixed(0)} ms`)
