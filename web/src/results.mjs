// What the viewer hands the reader and what a run leaves: downloads (F2's
// save.txt, Print Screen's pictures), a scripted run's shots, and at the end
// its log, shots and status in #orbex-result.
import { FOLDER, decode1252 } from './files.mjs'

// Pictures are made for a download or a scripted run's result only.
const png = () => import('./png.mjs')

export class Results {
  constructor(document) {
    this.document = document
    this.shots = {}
    this.pendingShots = []
    this.downloads = []
    this.shotNumber = 0
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

  // The frame last shown (the canvas's pixels), as the desktop's Print
  // Screen saves it.
  printScreen(pixels) {
    const name = `orbex-shot-${String(++this.shotNumber).padStart(4, '0')}.png`
    png().then(({ encodePng }) => encodePng(pixels)).then((blob) => this.offer(name, blob))
  }

  // A copy of the program's RGBA, encoded on the side, and waited for
  // before the result is written.
  shot(name, rgba, width, height) {
    const pixels = new Uint32Array(rgba.buffer, rgba.byteOffset, width * height)
    const done = png().then(({ encodePng, dataUrl }) => encodePng(pixels, width, height).then(dataUrl))
      .then((url) => { this.shots[name] = url })
    this.pendingShots.push(done)
  }

  // The run's log (from the program's files, if it wrote one), shots, status
  // and error into #orbex-result.
  async write(FS, status, error) {
    await Promise.allSettled(this.pendingShots)
    let log = ''
    try {
      log = decode1252(FS.readFile(`${FOLDER}/orbex.log`))
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
  }
}
