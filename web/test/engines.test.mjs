// The browser tour in the other engines: Firefox ESR over WebDriver BiDi
// (puppeteer-core) and WebKitGTK's MiniBrowser under its own Xvfb
// (WebKitWebDriver, selenium-webdriver). Each must give the desktop's log and
// shots pixel for pixel, as Chromium does in viewer.test.mjs.
import assert from 'node:assert/strict'
import { spawn } from 'node:child_process'
import fs from 'node:fs'
import net from 'node:net'
import path from 'node:path'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import { missingNativeTool, sampleSite, tourDifferences } from './fixtures.mjs'
import { serve } from './run-site.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const regression = path.join(path.dirname(webDir), 'tests', 'regression')
const TOUR = 'args=l&clock=step:20&script=_tour/tour.txt'
const SECONDS = 300

export const FIREFOX = process.env.ORBEX_FIREFOX || '/usr/bin/firefox-esr'
export const WEBKIT_DRIVER = process.env.ORBEX_WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver'
export const MINIBROWSER = process.env.ORBEX_MINIBROWSER ||
  '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser'

function missingEngine() {
  const tool = missingNativeTool()
  if (tool) return tool
  for (const [file, pkg] of [[FIREFOX, 'firefox-esr'], [WEBKIT_DRIVER, 'webkit2gtk-driver'],
    [MINIBROWSER, 'webkit2gtk-driver'], ['/usr/bin/Xvfb', 'xvfb']]) {
    if (!fs.existsSync(file)) return `${file} is missing: apt-get install -y ${pkg}`
  }
  for (const module of ['puppeteer-core', 'selenium-webdriver']) {
    if (!fs.existsSync(path.join(webDir, 'node_modules', module))) return `${module} is missing: cd web && npm ci`
  }
  return null
}

const skip = missingEngine()
if (skip && process.env.ORBEX_WEB_REQUIRED === '1') throw new Error(skip)

// A process that is ended by its id, with its group, however the test ends.
function started(command, args, options = {}) {
  const child = spawn(command, args, { detached: true, ...options })
  child.stop = () => {
    if (child.exitCode === null && child.signalCode === null) {
      try {
        process.kill(-child.pid, 'SIGTERM')
      } catch {}
    }
    return new Promise((resolve) => {
      if (child.exitCode !== null || child.signalCode !== null) return resolve()
      const kill = setTimeout(() => {
        try {
          process.kill(-child.pid, 'SIGKILL')
        } catch {}
      }, 5000)
      child.once('exit', () => {
        clearTimeout(kill)
        resolve()
      })
    })
  }
  return child
}

// Xvfb on a free display it picks itself (-displayfd): [process, ':N'].
async function xvfb() {
  const child = started('Xvfb', ['-displayfd', '3', '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] })
  const display = await new Promise((resolve, reject) => {
    let text = ''
    child.stdio[3].on('data', (data) => {
      text += data
      if (text.includes('\n')) resolve(':' + text.trim())
    })
    child.once('exit', (code) => reject(new Error(`Xvfb ended (${code}) before it had a display`)))
  })
  return [child, display]
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address()
      server.close(() => resolve(port))
    }).once('error', reject)
  })
}

async function untilListening(port, seconds) {
  const deadline = Date.now() + seconds * 1000
  while (Date.now() < deadline) {
    const up = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => {
        socket.end()
        resolve(true)
      }).once('error', () => resolve(false))
    })
    if (up) return
    await new Promise((resolve) => setTimeout(resolve, 100))
  }
  throw new Error(`nothing listens on port ${port} after ${seconds} s`)
}

async function tourInFirefox(url) {
  const { default: puppeteer } = await import('puppeteer-core')
  const browser = await puppeteer.launch({
    browser: 'firefox', executablePath: FIREFOX, headless: true, protocol: 'webDriverBiDi',
  })
  const pid = browser.process()?.pid
  try {
    const page = await browser.newPage()
    const lines = []
    page.on('console', (m) => lines.push(m.text()))
    page.on('pageerror', (e) => lines.push('pageerror: ' + e.message))
    await page.goto(`${url}?${TOUR}`)
    const result = await page.waitForSelector('#orbex-result', { timeout: SECONDS * 1000 })
    return { result: JSON.parse(await result.evaluate((e) => e.textContent)), lines }
  } finally {
    await browser.close().catch(() => {})
    if (pid) {
      try {
        process.kill(pid, 'SIGKILL')
      } catch {}
    }
  }
}

async function tourInWebKit(url) {
  const { Builder, By, until } = await import('selenium-webdriver')
  const [x, display] = await xvfb()
  const port = await freePort()
  const driver = started(WEBKIT_DRIVER, [`--port=${port}`], {
    stdio: 'ignore', env: { ...process.env, DISPLAY: display },
  })
  let session
  try {
    await untilListening(port, 30)
    session = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities({
      browserName: 'MiniBrowser',
      'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] },
    }).build()
    await session.get(`${url}?${TOUR}`)
    const pre = await session.wait(until.elementLocated(By.id('orbex-result')), SECONDS * 1000)
    // getText() gives the rendered text; the result is in the element's text.
    return { result: JSON.parse(await session.executeScript('return arguments[0].textContent', pre)), lines: [] }
  } finally {
    await session?.quit().catch(() => {})
    await driver.stop()
    await x.stop()
  }
}

describe('the browser tour in Firefox and WebKit', { skip: skip ?? false, timeout: 1200000 }, () => {
  let tmp
  let server

  before(async () => {
    let site
    ;({ tmp, site } = sampleSite(webDir, 'orbex-engines-'))
    server = await serve(site, { '/_tour/': regression })
  })

  after(() => {
    server?.close()
    if (tmp) fs.rmSync(tmp, { recursive: true, force: true })
  })

  for (const [engine, tour] of [['firefox', tourInFirefox], ['webkit', tourInWebKit]]) {
    test(`${engine}: the desktop's log and shots`, async () => {
      const started = Date.now()
      const { result, lines } = await tour(server.url)
      console.log(`# ${engine}: the tour took ${((Date.now() - started) / 1000).toFixed(1)} s`)
      const failures = tourDifferences(result, regression, `-${engine}-ACTUAL`)
      assert.deepEqual(failures, [], `${lines.join('\n')}\nthe log or shots differ (*-${engine}-ACTUAL.* beside them)`)
    })
  }
})
