// The page: starts the program (orbex-program.js, built by emcc with
// library_orbex.js) and gives it what orbex_web.h promises through
// Module.orbexPage: the frame, the input queue, dialogs, downloads, shots and
// the sound. When the program ends, its log and shots go into #orbex-result.
// A magazine from the reader's disk (src/local.mjs) is opened by loading the
// page again with it.
import { Canvas } from './canvas.mjs'
import {
  FOLDER, decode1252, fetchFileList, fetchScript, installFile, installFiles, keepConfig, magazineFolder, savedConfig,
  watchWrites,
} from './files.mjs'
import { listenKeyButtons } from './buttons.mjs'
import { Input } from './input.mjs'
import { WM } from './keys.mjs'
import { MagazineLoader, START_MODULE } from './loader.mjs'
import { keepLocal, loadLocal, pickedDrop, pickedFolder, prepare, refusal } from './local.mjs'
import { keepOffline } from './offline.mjs'
import { loadProgram } from './program.mjs'
import { Sound } from './sound.mjs'
import { ArticleTextView, isCopyKey } from './text.mjs'

// Pictures are made for a download or a scripted run's result only.
const png = () => import('./png.mjs')

// The query and the page's program (its meta, which web/build.sh fills in)
// as the page's options.
function readOptions(location, document) {
  const params = new URLSearchParams(location.search)
  const programTag = document.querySelector('meta[name="orbex-program"]')
  const local = params.get('local')
  return {
    // A magazine from the reader's disk, kept in the browser, or a folder of the site.
    local,
    magazine: local !== null ? { local } : magazineFolder(params.get('magazine'), location.href),
    args: params.get('args') || '',
    script: params.get('script'),
    clock: params.get('clock'),
    program: new URL(programTag?.content || 'orbex-program.js', location.href).href,
    programWasm: new URL(programTag?.dataset.wasm || 'orbex-program.wasm.gz', location.href).href,
    // The program's bytes as stored (script and module), for the progress.
    programBytes: Number(programTag?.dataset.bytes) || null,
    // What the viewer's start reads before its first frame.
    startFiles: document.querySelector('meta[name="orbex-start-files"]')?.content.split(' ') ?? [],
  }
}

// The program uses WebAssembly's SIMD and bulk memory; a browser without them
// would refuse it with a compiler's message. The smallest modules that use
// each (i8x16.splat with i8x16.popcnt; memory.copy).
const SIMD_MODULE = [0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253,
  98, 11]
const BULK_MEMORY_MODULE = [0, 97, 115, 109, 1, 0, 0, 0, 1, 4, 1, 96, 0, 0, 3, 2, 1, 0, 5, 3, 1, 0, 1, 10, 14, 1, 12, 0, 65,
  0, 65, 0, 65, 0, 252, 10, 0, 0, 11]
export const TOO_OLD = 'This browser is too old for the magazine: it needs WebAssembly with SIMD and ' +
  'DecompressionStream (Chromium 91, Firefox 113, Safari 16.4 or newer).'

export function runsProgram(wasm) {
  return typeof wasm?.validate === 'function' &&
    wasm.validate(new Uint8Array(SIMD_MODULE)) && wasm.validate(new Uint8Array(BULK_MEMORY_MODULE))
}

export class Page {
  constructor(document, location) {
    const byId = (id) => document.getElementById(id)
    this.elements = {
      screen: byId('orbex-screen'),
      status: byId('orbex-status'),
      progress: byId('orbex-progress'),
      notices: byId('orbex-notices'),
      fullscreen: byId('orbex-fullscreen'),
      keys: byId('orbex-keys'),
      box: byId('orbex-box'),
      boxCaption: byId('orbex-box-caption'),
      boxText: byId('orbex-box-text'),
      openZip: byId('orbex-open-zip'),
      openFolder: byId('orbex-open-folder'),
      zipInput: byId('orbex-zip-input'),
      folderInput: byId('orbex-folder-input'),
      openMessage: byId('orbex-open-message'),
    }
    this.document = document
    this.location = location
    this.options = readOptions(location, document)
    // A scripted run nobody watches: boxes confirm themselves.
    this.automated = this.options.script !== null
    // With a virtual clock the frames need not wait for the display.
    this.unpaced = /^step:/.test(this.options.clock || '')
    this.input = new Input()
    // A scripted run hears every module checked as the desktop does; a
    // reader's page loads the music player only once the first frame shows.
    this.sound = new Sound(new URL('chiptune3/chiptune3.js', document.baseURI).href, byId('orbex-sound-hint'),
      { strict: this.automated })
    this.canvas = new Canvas(byId('orbex-canvas'))
    this.text = new ArticleTextView(document, this)
    this.stats = {
      firstFrameMs: null, firstPaintMs: null, presents: 0, uploads: 0, filesMs: null, files: 0, missing: [], workletMs: null,
    }
    this.shots = {}
    this.pendingShots = []
    this.downloads = []
    this.shotNumber = 0
    this.finished = false
    this.channel = new MessageChannel()
    this.turns = []
    this.channel.port1.onmessage = () => this.turns.shift()?.()
    this.visibleWaiters = []
    // The viewer is the active application while the page can be seen and
    // its window has the focus, as a desktop window is.
    this.focused = document.hasFocus()
    this.active = false
    // The reader's settings for this magazine: a folder by its address, one
    // from the disk by its name.
    const magazine = this.options.magazine
    this.cfgKey = 'orbex5:cfg:' + (magazine.local !== undefined ? 'local:' + magazine.local : magazine.url)
    this.logShown = 0 // bytes of orbex.log already echoed to the console
    this.loader = null // a served magazine's files (src/loader.mjs)
    this.listUrl = null
    this.loading = { arrived: 0, total: null } // bytes before the first frame
  }

  get cursor() {
    return this.input.cursor
  }

  get pixels() {
    return this.canvas.pixels
  }

  decode1252(bytes) {
    return decode1252(bytes)
  }

  // ---- display

  present(heap, ptr, width, height, first, last) {
    if (this.canvas.present(heap, ptr, width, height, first, last)) ++this.stats.uploads
    if (this.stats.firstFrameMs === null) this.firstFrame()
    ++this.stats.presents
    this.input.presented()
  }

  // The first frame is painted before what waited for it begins: the
  // magazine's other files, the music player (its audio context alone takes
  // a phone a tenth of a second), the offline copy (once every file is in; a
  // scripted run keeps nothing). A page hidden meanwhile paints nothing: a
  // timer stands in for the paint then.
  firstFrame() {
    this.stats.firstFrameMs = performance.now()
    this.elements.status.textContent = ''
    this.elements.progress.hidden = true
    let done = false
    const painted = () => {
      if (done) return
      done = true
      this.stats.firstPaintMs ??= performance.now()
      setTimeout(() => this.afterFirstFrame(), 0)
    }
    requestAnimationFrame(() => {
      this.stats.firstPaintMs = performance.now()
      painted()
    })
    setTimeout(painted, 250)
  }

  afterFirstFrame() {
    this.sound.allow()
    if (this.loader) {
      this.loader.fetchTheRest()
      this.loader.all().then(() => {
        this.stats.filesMs = performance.now() - this.stats.startedMs
        this.stats.files = this.loader.entries.size - this.loader.missing.length
        if (!this.automated) keepOffline(navigator, [this.listUrl, ...this.loader.urls].filter(Boolean))
      })
    }
  }

  // Bytes arrived of the program and the first frame's files, against their
  // total where it is known.
  showProgress(n) {
    this.loading.arrived += n
    const bar = this.elements.progress
    if (bar.hidden || this.loading.total === null) return
    bar.max = this.loading.total
    bar.value = Math.min(this.loading.arrived, this.loading.total)
  }

  nextFrame() {
    if (this.unpaced) return new Promise((resolve) => {
      this.turns.push(resolve)
      this.channel.port2.postMessage(0)
    })
    return this.whenVisible().then(() => new Promise((resolve) => requestAnimationFrame(() => resolve())))
  }

  whenVisible() {
    if (!this.document.hidden) return Promise.resolve()
    return new Promise((resolve) => this.visibleWaiters.push(resolve))
  }

  showCursor(visible) {
    this.canvas.showCursor(visible)
  }

  articleText(data) {
    this.text.update(data)
  }

  // ---- input

  pollEvent() {
    return this.input.poll()
  }

  nextEvent() {
    return this.input.next()
  }

  listen() {
    const canvas = this.canvas
    this.input.listen(canvas.element, (e) => canvas.framePoint(e), () => canvas.cssPerPixel())
    listenKeyButtons(this.elements.keys, this.input)
    window.addEventListener('keydown', (e) => {
      this.input.track(e)
      this.keyDown(e)
    })
    window.addEventListener('keyup', (e) => {
      this.input.track(e)
      // Some systems send Print Screen only as a release.
      if (e.code === 'PrintScreen' && !this.printDown) this.printScreen()
      if (e.code === 'PrintScreen') this.printDown = false
    })
    for (const type of ['pointerdown', 'pointerup', 'keydown', 'click', 'touchend']) {
      window.addEventListener(type, () => this.sound.gesture(), true)
    }
    this.document.addEventListener('visibilitychange', () => {
      this.activate()
      if (!this.document.hidden) for (const resolve of this.visibleWaiters.splice(0)) resolve()
    })
    window.addEventListener('blur', () => {
      this.focused = false
      // Keys released elsewhere send this window nothing.
      this.input.leftAlt = false
      this.activate()
    })
    window.addEventListener('focus', () => {
      this.focused = true
      this.activate()
    })
    this.elements.fullscreen.addEventListener('click', () => this.toggleFullscreen())
    this.elements.fullscreen.hidden = !this.document.fullscreenEnabled
  }

  // WM_ACTIVATEAPP whenever the page becomes the active application or
  // stops being it: hidden, or its window without the focus.
  activate() {
    const active = !this.document.hidden && this.focused
    if (active === this.active) return
    this.active = active
    this.input.post(WM.ACTIVATEAPP, active ? 1 : 0, 0)
  }

  // Alt+Enter and Print Screen are the page's, and work after the end too.
  // Space and Enter on a button of the page are the button's.
  keyDown(e) {
    // Ctrl+C is the browser's copy, and keys in the text are the text's.
    if (isCopyKey(e) || this.text.owns(e.target)) return
    if (this.elements.box.open) return
    if (e.altKey && (e.code === 'Enter' || e.code === 'NumpadEnter')) {
      e.preventDefault()
      if (!e.repeat) this.toggleFullscreen()
      return
    }
    const plain = !e.ctrlKey && !e.metaKey && !e.altKey
    if (e.code === 'PrintScreen' || (plain && e.code === 'KeyC')) {
      e.preventDefault()
      if (e.code === 'PrintScreen') this.printDown = true
      if (!e.repeat && this.stats.presents > 0) this.printScreen()
      return
    }
    // Space and Enter on a button of the page are the button's.
    const control = e.target instanceof Element && e.target.closest('button, summary, a[href]')
    if (control && (e.code === 'Space' || e.code === 'Enter' || e.code === 'NumpadEnter')) return
    if (!this.finished) this.input.key(e)
  }

  // The whole page: on a phone the key buttons stay beside the picture; with
  // a mouse only the picture shows (orbex.css).
  toggleFullscreen() {
    const root = this.document.documentElement
    if (this.document.fullscreenElement) {
      this.document.exitFullscreen().catch(() => {})
    } else if (root.requestFullscreen) {
      root.requestFullscreen({ navigationUI: 'hide' }).catch((e) => console.warn('orbex: no full screen:', e.message))
    }
  }

  // The frame last shown, as the desktop's Print Screen saves it.
  printScreen() {
    const name = `orbex-shot-${String(++this.shotNumber).padStart(4, '0')}.png`
    const pixels = this.canvas.pixels
    png().then(({ encodePng }) => encodePng(pixels)).then((blob) => this.offer(name, blob))
  }

  // ---- page services

  messageBox(text, caption) {
    const title = caption || 'ORBEX 5'
    if (this.automated) {
      console.log(`${title}: ${text}`)
      return Promise.resolve()
    }
    const { box, boxCaption, boxText } = this.elements
    boxCaption.textContent = title
    boxText.textContent = text
    return new Promise((resolve) => {
      box.addEventListener('close', () => {
        this.canvas.element.focus({ preventScroll: true })
        resolve()
      }, { once: true })
      box.showModal()
    })
  }

  log(line) {
    console.log(line.replace(/\r?\n$/, ''))
  }

  download(name, bytes) {
    this.offer(name, new Blob([bytes]))
  }

  offer(name, blob) {
    this.downloads.push({ name, size: blob.size })
    const url = URL.createObjectURL(blob)
    const a = this.document.createElement('a')
    a.href = url
    a.download = name
    this.document.body.append(a)
    a.click()
    a.remove()
    setTimeout(() => URL.revokeObjectURL(url), 60000)
  }

  // A copy of the program's RGBA, encoded on the side, and waited for
  // before the result is written.
  shot(name, rgba, width, height) {
    const pixels = new Uint32Array(rgba.buffer, rgba.byteOffset, width * height)
    const done = png().then(({ encodePng, dataUrl }) => encodePng(pixels, width, height).then(dataUrl))
      .then((url) => { this.shots[name] = url })
    this.pendingShots.push(done)
  }

  // What the reader should know about the magazine: below the frame, and in
  // the console.
  notice(text) {
    const item = this.document.createElement('li')
    item.textContent = text
    this.elements.notices.append(item)
    this.elements.notices.hidden = false
    console.warn('orbex: ' + text)
  }

  // ---- files

  // The viewer writes save.txt and orbex.cfg itself; the page acts when such
  // a file is closed after writing.
  fileWritten(FS, path) {
    if (path === `${FOLDER}/save.txt`) this.download('save.txt', FS.readFile(path))
    if (path === `${FOLDER}/orbex.cfg`) keepConfig(this.cfgKey, FS.readFile(path))
    if (path === `${FOLDER}/orbex.log`) this.echoLog(FS.readFile(path))
  }

  // The log (letter l) goes to the console too, entry by entry: the viewer
  // opens and closes the file for every one.
  echoLog(bytes) {
    if (bytes.length < this.logShown) this.logShown = 0
    const text = decode1252(bytes.subarray(this.logShown))
    this.logShown = bytes.length
    for (const line of text.split(/\r?\n/)) if (line !== '') console.log(line)
  }

  // ---- a magazine from the reader's disk

  // The buttons, their file choosers and a drop anywhere on the page; they
  // work whatever the page shows, the end or a refusal too.
  listenOpen() {
    const { openZip, openFolder, zipInput, folderInput } = this.elements
    openZip.addEventListener('click', () => zipInput.click())
    openFolder.addEventListener('click', () => folderInput.click())
    zipInput.addEventListener('change', () => {
      const file = zipInput.files[0]
      zipInput.value = ''
      if (file) this.openLocal(Promise.resolve({ name: file.name, zip: file }))
    })
    folderInput.addEventListener('change', () => {
      const picked = pickedFolder(folderInput.files)
      folderInput.value = ''
      if (picked) this.openLocal(Promise.resolve(picked))
    })
    const withFiles = (e) => e.dataTransfer?.types.includes('Files')
    window.addEventListener('dragover', (e) => {
      if (!withFiles(e)) return
      e.preventDefault()
      e.dataTransfer.dropEffect = 'copy'
    })
    window.addEventListener('drop', (e) => {
      if (!withFiles(e)) return
      e.preventDefault()
      const picked = pickedDrop(e.dataTransfer)
      if (picked) this.openLocal(picked)
      else this.openMessage('Drop one magazine: a folder or a zip file.')
    })
  }

  openMessage(text) {
    const element = this.elements.openMessage
    element.textContent = text
    element.hidden = false
  }

  // Checked here, where a refusal leaves the magazine shown as it is; kept,
  // then shown by the page loaded again.
  async openLocal(picking) {
    if (this.opening) return
    this.opening = true
    let name = 'the magazine'
    try {
      const picked = await picking
      name = picked.name
      this.openMessage(`Reading ${name}…`)
      await keepLocal(await prepare(picked))
      const url = new URL(this.location.href)
      url.searchParams.delete('magazine')
      url.searchParams.set('local', name)
      this.location.assign(url.href)
    } catch (e) {
      this.openMessage(refusal(name, e))
    } finally {
      this.opening = false
    }
  }

  // The kept magazine as the program's files, or null when it is refused
  // (then said where the frame would be).
  async localFiles() {
    const started = performance.now()
    const name = this.options.local
    try {
      const { files, missing, notices } = await loadLocal(name)
      this.stats.missing.push(...missing)
      for (const text of notices) this.notice(text)
      const script = await fetchScript(this.options.script, this.location.href)
      this.stats.filesMs = performance.now() - started
      this.stats.files = files.size
      return { files, script }
    } catch (e) {
      const text = refusal(name, e)
      this.finish(-1, text, text)
      return null
    }
  }

  // ---- start and end

  async start() {
    const options = this.options
    this.listenOpen()
    if (options.magazine.error) {
      // Nothing of it is asked for, and nothing kept for it.
      this.finish(-1, options.magazine.error, options.magazine.error)
      return
    }
    if (!runsProgram(globalThis.WebAssembly)) {
      this.finish(-1, TOO_OLD, TOO_OLD)
      return
    }
    this.stats.startedMs = performance.now()
    // One from the disk is all in the browser before the program starts, so
    // that a refused one starts nothing.
    let localFiles = null
    if (options.local !== null) {
      localFiles = await this.localFiles()
      if (localFiles === null) return
    }
    this.listen()
    this.activate()
    const page = this
    const config = savedConfig(this.cfgKey)
    // A served magazine's files are taken in (and inflated) as they come,
    // while the program loads.
    const ready = localFiles ? Promise.resolve(localFiles) : this.startLoading(config)
    ready.catch(() => {}) // said once the program asks for them
    if (localFiles) this.loading.total = options.programBytes
    const Module = {
      arguments: options.args ? [options.args] : [],
      orbexPage: this,
      // Before main: the list of a served magazine and the script. Its files
      // go in as they arrive; the viewer waits for one it opens on its way.
      preRun: [() => {
        Module.addRunDependency('orbex-files')
        ready.then((loaded) => {
          installFiles(Module, loaded, { scripted: options.script !== null, clock: options.clock, config })
          watchWrites(Module.FS, (path) => page.fileWritten(Module.FS, path))
          if (loaded.files) for (const [name, data] of loaded.files) installFile(Module.FS, name, data)
          this.loader?.installInto((name, data) => installFile(Module.FS, name, data))
          Module.removeRunDependency('orbex-files')
        }).catch((e) => page.finish(-1, 'files: ' + e))
      }],
      print: (line) => console.log(line),
      printErr: (line) => console.warn(line),
      locateFile: (name) => new URL(name, options.program).href,
      onExit: (status) => page.finish(status),
      onAbort: (what) => page.finish(-1, String(what)),
    }
    window.Module = Module
    this.module = Module
    loadProgram(this.document, Module, { scriptUrl: options.program, wasmUrl: options.programWasm },
      (n) => this.showProgress(n)).catch((e) => this.finish(-1, `cannot load ${options.program}: ${e.message ?? e}`))
    // The usual rate, made ready while the program loads (the music player
    // itself comes once the first frame shows): its first module load then
    // need not wait for it.
    if (!/n/.test(options.args) && this.sound.init(44100)) {
      this.sound.ready.then(() => { this.stats.workletMs = performance.now() })
    }
  }

  // A served magazine's list, and its start files on their way at once:
  // { script } once the list and the script are in.
  async startLoading(config) {
    const options = this.options
    const list = await fetchFileList(options.magazine.url, window.orbexEarly?.list)
    this.listUrl = list.url
    if (list.cut) {
      this.notice(`The magazine lists too many files: only the first ${list.entries.length.toLocaleString('en')} are loaded.`)
    }
    // The reader's own settings stand in for the magazine's; without music
    // the start module waits its turn.
    const skip = new Set([...(config ? ['orbex.cfg'] : []), ...(/n/.test(options.args) ? [START_MODULE] : [])])
    const entries = list.entries.filter((entry) => !(config && entry.name === 'orbex.cfg'))
    this.loader = new MagazineLoader({
      folder: options.magazine.url, entries, said: (text) => this.notice(text), progress: () => {},
      early: window.orbexEarly?.files,
    })
    const first = options.startFiles.filter((name) => !skip.has(name))
    const firstBytes = this.loader.storedBytes(first)
    this.loading.total = options.programBytes !== null && firstBytes !== null ? options.programBytes + firstBytes : null
    let before = 0
    this.loader.progress = () => {
      this.showProgress(this.loader.bytesArrived - before)
      before = this.loader.bytesArrived
    }
    this.loader.startWith(first)
    this.stats.missing = this.loader.missing
    return { script: await fetchScript(options.script, this.location.href) }
  }

  // Called by the program (orbex_wait_file) before it opens a file: a
  // promise while the file is still on its way, else null.
  fileOnItsWay(path) {
    return this.loader?.onItsWay(path) ? this.loader.whenThere(path) : null
  }

  // The program ended (or never started): its log and shots go into
  // #orbex-result, and the status line says so.
  async finish(status, error, shown = 'The magazine stopped: ' + error) {
    if (this.finished) return
    this.finished = true
    this.sound.close()
    await Promise.allSettled(this.pendingShots)
    let log = ''
    try {
      log = decode1252(this.module.FS.readFile(`${FOLDER}/orbex.log`))
    } catch {
      // No log written.
    }
    const result = { log, shots: this.shots, exit: status }
    if (error !== undefined) {
      result.error = error
      console.error('orbex: ' + error)
    }
    const pre = this.document.createElement('pre')
    pre.id = 'orbex-result'
    pre.textContent = JSON.stringify(result)
    this.document.body.append(pre)
    this.elements.status.textContent = error !== undefined ? shown : 'The magazine has ended.'
  }
}
