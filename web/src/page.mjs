// The page: starts the program (orbex-program.js, built by emcc with
// library_orbex.js) and gives it what orbex_web.h promises through
// Module.orbexPage: the frame, the input queue, the sound, and, through its
// parts, the magazine's files (src/loading.mjs), message boxes and notices
// (src/dialogs.mjs), downloads, shots and the result (src/results.mjs). A
// magazine from the reader's disk (src/opening.mjs) is opened by loading the
// page again with it.
import { Canvas } from './canvas.mjs'
import { NO_MUSIC_LETTER, USUAL_SAMPLE_RATE } from './constants.mjs'
import { Dialogs } from './dialogs.mjs'
import { FOLDER, decode1252, installFile, installFiles, keepConfig, magazineFolder, savedConfig, watchWrites } from './files.mjs'
import { Input } from './input.mjs'
import { Loading } from './loading.mjs'
import { Opening, localFiles } from './opening.mjs'
import { Preview } from './preview.mjs'
import { loadProgram } from './program.mjs'
import { Results } from './results.mjs'
import { Sound } from './sound.mjs'
import { ArticleTextView } from './text.mjs'
import { WindowEvents } from './windowevents.mjs'

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
      status: byId('orbex-status'),
      fullscreen: byId('orbex-fullscreen'),
      keys: byId('orbex-keys'),
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
    this.dialogs = new Dialogs({
      box: byId('orbex-box'), boxCaption: byId('orbex-box-caption'), boxText: byId('orbex-box-text'),
      notices: byId('orbex-notices'),
    }, { automated: this.automated, focusAfter: () => this.canvas.element.focus({ preventScroll: true }) })
    this.notice = (text) => this.dialogs.notice(text)
    this.loading = new Loading(byId('orbex-progress'), this.stats, this.notice)
    this.results = new Results(document)
    this.opening = new Opening({
      openZip: byId('orbex-open-zip'), openFolder: byId('orbex-open-folder'), zipInput: byId('orbex-zip-input'),
      folderInput: byId('orbex-folder-input'), openMessage: byId('orbex-open-message'),
    }, location)
    this.finished = false
    this.channel = new MessageChannel()
    this.turns = []
    this.channel.port1.onmessage = () => this.turns.shift()?.()
    this.window = new WindowEvents(this, document, this.elements)
    // Only orbex-tool preview's server adds this.
    const previewTag = document.querySelector('meta[name="orbex-preview"]')
    this.preview = previewTag
      ? new Preview(this, byId('orbex-preview-problems'), new URL(previewTag.content, location.href).href)
      : null
    // The reader's settings for this magazine: a folder by its address, one
    // from the disk by its name.
    const magazine = this.options.magazine
    this.cfgKey = 'orbex5:cfg:' + (magazine.local !== undefined ? 'local:' + magazine.local : magazine.url)
    this.logShown = 0 // bytes of orbex.log already echoed to the console
  }

  get cursor() {
    return this.input.cursor
  }

  get pixels() {
    return this.canvas.pixels
  }

  get downloads() {
    return this.results.downloads
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
    this.loading.firstFrame()
    let done = false
    const painted = () => {
      if (done) return
      done = true
      this.stats.firstPaintMs ??= performance.now()
      setTimeout(() => {
        this.sound.allow()
        // A preview changes with every save: nothing of it is kept offline.
        this.loading.fetchTheRest(!this.automated && !this.preview)
      }, 0)
    }
    requestAnimationFrame(() => {
      this.stats.firstPaintMs = performance.now()
      painted()
    })
    setTimeout(painted, 250)
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
    this.preview?.seen(data)
    this.text.update(data)
  }

  // ---- input

  pollEvent() {
    return this.input.poll()
  }

  nextEvent() {
    return this.input.next()
  }

  // The page's window as the viewer's: its keys, focus, visibility and
  // full screen (windowevents.mjs).
  listen() {
    this.window.listen()
  }

  get visibleWaiters() {
    return this.window.visibleWaiters
  }

  // ---- what the program asks of the page besides

  messageBox(text, caption) {
    return this.dialogs.messageBox(text, caption)
  }

  log(line) {
    console.log(line.replace(/\r?\n$/, ''))
  }

  download(name, bytes) {
    this.results.download(name, bytes)
  }

  shot(name, rgba, width, height) {
    this.results.shot(name, rgba, width, height)
  }

  // Called by the program (orbex_wait_file) before it opens a file: a
  // promise while the file is still on its way, else null.
  fileOnItsWay(path) {
    return this.loading.fileOnItsWay(path)
  }

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

  // ---- start and end

  async start() {
    const options = this.options
    this.opening.listen()
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
    let local = null
    if (options.local !== null) {
      try {
        local = await localFiles(options.local, options.script, this.location, this.stats, this.notice)
      } catch (e) {
        this.finish(-1, e.message, e.message)
        return
      }
      this.loading.total = options.programBytes
    }
    this.listen()
    this.window.activate()
    this.preview?.begin()
    const config = savedConfig(this.cfgKey)
    // A served magazine's files are taken in (and inflated) as they come,
    // while the program loads.
    const ready = local ? Promise.resolve(local) : this.loading.startServed(options, config, this.location)
    ready.catch(() => {}) // said once the program asks for them
    this.module = this.programModule(ready, config)
    loadProgram(this.document, this.module, { scriptUrl: options.program, wasmUrl: options.programWasm },
      (n) => this.loading.showProgress(n)).catch((e) => this.finish(-1, `cannot load ${options.program}: ${e.message ?? e}`))
    // The usual rate, made ready while the program loads (the music player
    // itself comes once the first frame shows): its first module load then
    // need not wait for it.
    if (!options.args.includes(NO_MUSIC_LETTER) && this.sound.init(USUAL_SAMPLE_RATE)) {
      this.sound.ready.then(() => { this.stats.workletMs = performance.now() })
    }
  }

  // emscripten's Module: before main, the magazine's files (those there
  // already; the others go in as they arrive, and the viewer waits for one
  // it opens on its way) and the script.
  programModule(ready, config) {
    const options = this.options
    const Module = {
      arguments: options.args ? [options.args] : [],
      orbexPage: this,
      preRun: [() => {
        Module.addRunDependency('orbex-files')
        ready.then((loaded) => {
          installFiles(Module, loaded, { scripted: options.script !== null, clock: options.clock, config })
          watchWrites(Module.FS, (path) => this.fileWritten(Module.FS, path))
          if (loaded.files) for (const [name, data] of loaded.files) installFile(Module.FS, name, data)
          this.loading.installInto((name, data) => installFile(Module.FS, name, data))
          Module.removeRunDependency('orbex-files')
        }).catch((e) => this.finish(-1, 'files: ' + e))
      }],
      print: (line) => console.log(line),
      printErr: (line) => console.warn(line),
      locateFile: (name) => new URL(name, options.program).href,
      onExit: (status) => this.finish(status),
      onAbort: (what) => this.finish(-1, String(what)),
    }
    window.Module = Module
    return Module
  }

  // The program ended (or never started): its log and shots go into
  // #orbex-result, and the status line says so.
  async finish(status, error, shown = 'The magazine stopped: ' + error) {
    if (this.finished) return
    this.finished = true
    this.sound.close()
    await this.results.write(this.module?.FS, status, error)
    this.elements.status.textContent = error !== undefined ? shown : 'The magazine has ended.'
  }
}
