// A served magazine coming in: its list, the start's files at once while the
// program loads, the rest after the first frame (src/loader.mjs), the
// progress bar of bytes until then, and the offline copy once every file is
// in.
import { fetchFileList, fetchScript } from './files.mjs'
import { CONFIG_FILE, NO_MUSIC_LETTER, START_FILES, START_MODULE_FILE } from './constants.mjs'
import { MagazineLoader } from './loader.mjs'
import { keepOffline } from './offline.mjs'

export class Loading {
  // bar: the <progress>; stats: the page's figures (missing, filesMs, files);
  // notice(text): tells the reader.
  constructor(bar, stats, notice) {
    this.bar = bar
    this.stats = stats
    this.notice = notice
    this.loader = null
    this.listUrl = null
    this.arrived = 0 // bytes before the first frame
    this.total = null
  }

  // The list, and the start's files on their way at once: { script } once
  // the list and the script are in. config: the reader's own orbex.cfg.
  async startServed(options, config, location) {
    const list = await fetchFileList(options.magazine.url, window.orbexEarly?.list)
    this.listUrl = list.url
    if (list.cut) {
      this.notice(`The magazine lists too many files: only the first ${list.entries.length.toLocaleString('en')} are loaded.`)
    }
    // The reader's own settings stand in for the magazine's; without music
    // the start module waits its turn.
    const skip = new Set([...(config ? [CONFIG_FILE] : []), ...(options.args.includes(NO_MUSIC_LETTER) ? [START_MODULE_FILE] : [])])
    const entries = list.entries.filter((entry) => !(config && entry.name === CONFIG_FILE))
    const loader = new MagazineLoader({
      folder: options.magazine.url, entries, said: this.notice, early: window.orbexEarly?.files,
    })
    this.loader = loader
    const first = START_FILES.filter((name) => !skip.has(name))
    const firstBytes = loader.storedBytes(first)
    this.total = options.programBytes !== null && firstBytes !== null ? options.programBytes + firstBytes : null
    let before = 0
    loader.progress = () => {
      this.showProgress(loader.bytesArrived - before)
      before = loader.bytesArrived
    }
    loader.startWith(first)
    this.stats.missing = loader.missing
    return { script: await fetchScript(options.script, location.href) }
  }

  // Bytes arrived of the program and the first frame's files, against their
  // total where it is known.
  showProgress(n) {
    this.arrived += n
    if (this.bar.hidden || this.total === null) return
    this.bar.max = this.total
    this.bar.value = Math.min(this.arrived, this.total)
  }

  firstFrame() {
    this.bar.hidden = true
  }

  // Once the first frame is painted: every other file, then (for a reader,
  // not a scripted run) the offline copy.
  fetchTheRest(keep) {
    if (!this.loader) return
    this.loader.fetchTheRest()
    this.loader.all().then(() => {
      this.stats.filesMs = performance.now() - this.stats.startedMs
      this.stats.files = this.loader.entries.size - this.loader.missing.length
      if (keep) keepOffline(navigator, [this.listUrl, ...this.loader.urls].filter(Boolean))
    })
  }

  // Arrived files go into the program's file system (install(name, bytes)).
  installInto(install) {
    this.loader?.installInto(install)
  }

  // A promise while the file at path is still on its way, else null.
  fileOnItsWay(path) {
    return this.loader?.onItsWay(path) ? this.loader.whenThere(path) : null
  }
}
