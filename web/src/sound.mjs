// The BASS_* operations over chiptune3 (libopenmpt in an AudioWorklet). One
// module lives in the worklet at a time; the page keeps the bytes of every
// loaded one so a handle can be played again.
//
// The music player is nearly two megabytes, more than a magazine's first
// frame needs, and music waits for the reader's first click anyway: a
// reader's page loads it only once allowed (after the first frame), and
// takes the modules loaded before that on trust. Strict (a scripted run),
// it loads at once and every module is checked by it, as the desktop checks.
export class Sound {
  // library: the URL of chiptune3.js
  constructor(library, hint, { strict = false } = {}) {
    this.context = null
    this.opening = null // the output asked for (init), made once allowed
    this.output = null // volume; a test may hang an AnalyserNode on it
    this.player = null
    this.ready = null
    this.rate = 0
    this.modules = new Map()
    this.nextHandle = 1
    this.inWorklet = 0 // the handle whose module the worklet holds
    this.playing = 0
    this.started = false
    this.level = 100
    this.answers = []
    this.position = 0
    this.hint = hint // says that the music waits for a click
    this.libraryUrl = library
    this.library = null
    this.strict = strict
    this.allowed = new Promise((resolve) => { this.allow = resolve })
    if (strict) this.allow()
  }

  loadLibrary() {
    if (!this.library) {
      this.library = import(this.libraryUrl)
      this.library.catch((e) => console.error('orbex: cannot load chiptune3:', e))
    }
    return this.library
  }

  // The output at rate: opened now, made once allowed (an AudioContext
  // takes the page's thread for a while, which the first frame should not
  // wait for).
  init(rate) {
    if (typeof AudioContext === 'undefined') return false
    if (this.opening && this.rate === rate) return true
    this.close()
    const opening = {}
    this.opening = opening
    this.rate = rate
    this.ready = this.allowed.then(() => (this.opening === opening ? this.makeOutput(rate) : null))
    return true
  }

  // The context, the volume and the player, ready once the worklet is.
  makeOutput(rate) {
    let context
    try {
      context = new AudioContext({ sampleRate: rate, latencyHint: 'playback' })
    } catch {
      try {
        context = new AudioContext({ latencyHint: 'playback' })
      } catch {
        return null
      }
    }
    const opening = this.opening
    this.context = context
    this.heard = context.state === 'running'
    this.output = context.createGain()
    this.output.gain.value = this.level / 100
    this.output.connect(context.destination)
    context.onstatechange = () => this.stateChanged(context)
    window.dispatchEvent(new CustomEvent('orbex-sound', { detail: this }))
    this.showHint()
    return this.loadLibrary().then(({ ChiptuneJsPlayer }) => new Promise((resolve) => {
      const player = new ChiptuneJsPlayer({ context, repeatCount: -1 })
      player.gain.connect(this.output)
      // Until then chiptune3 drops what it is told.
      player.onInitialized(() => {
        if (opening === this.opening) this.player = player
        resolve(player)
      })
      player.onMetadata((meta) => this.answer(meta))
      // 'ptr': libopenmpt refused the bytes; other errors say nothing of loading.
      player.onError((e) => { if (e && e.type === 'ptr') this.answer(null) })
      player.onProgress((p) => { this.position = p.pos })
    }))
  }

  start() {
    this.started = true
    if (this.context && this.context.state === 'suspended') this.context.resume().catch(() => {})
    if (this.playing && this.inWorklet === this.playing) this.withPlayer((p) => p.unpause())
    this.showHint()
  }

  // Now, or once the worklet is ready, in the order asked.
  withPlayer(fn) {
    if (this.player) {
      fn(this.player)
    } else if (this.ready) {
      const opening = this.opening
      this.ready.then((player) => { if (player && opening === this.opening) fn(player) })
    }
  }

  async load(bytes) {
    if (!this.opening || !bytes || bytes.length === 0) return 0
    if (!this.player && !this.strict) {
      // Before the player is there: on trust; it plays it once it is.
      const handle = this.nextHandle++
      this.modules.set(handle, { bytes, duration: 0, since: 0 })
      return handle
    }
    const opening = this.opening
    const player = await within(this.ready, 20000)
    if (!player || opening !== this.opening) return 0
    let resolveAnswer
    const answer = new Promise((resolve) => { resolveAnswer = resolve })
    this.answers.push(resolveAnswer)
    // chiptune3 has no load without play: play and pause at once, so the
    // module is parsed now (the worklet answers even before any gesture).
    player.play(bytes.buffer)
    player.pause()
    this.inWorklet = 0
    this.playing = 0
    let meta = await within(answer, 5000, 'late')
    if (meta === 'late') {
      // A worklet that does not answer while suspended: take the module on trust.
      const at = this.answers.indexOf(resolveAnswer)
      if (at >= 0) this.answers.splice(at, 1)
      console.warn('orbex: no answer from the music worklet; module taken unchecked')
      meta = { dur: 0 }
    }
    if (!meta) return 0
    const handle = this.nextHandle++
    this.modules.set(handle, { bytes, duration: meta.dur || 0, since: 0 })
    this.inWorklet = handle
    return handle
  }

  // What the worklet says of a module it was given: a load waits for it;
  // for one taken on trust, it tells the module's length.
  answer(meta) {
    const resolve = this.answers.shift()
    if (resolve) resolve(meta)
    else if (meta && this.modules.get(this.inWorklet)?.duration === 0) this.modules.get(this.inWorklet).duration = meta.dur || 0
  }

  play(handle) {
    const module = this.modules.get(handle)
    if (!module || !this.opening) return false
    if (this.inWorklet !== handle) {
      const started = this.started
      this.withPlayer((p) => {
        p.play(module.bytes.buffer)
        if (!started) p.pause()
      })
      this.inWorklet = handle
      module.since = 0
    } else if (this.started) {
      this.withPlayer((p) => p.unpause())
    }
    if (!module.since) module.since = performance.now()
    this.playing = handle
    this.showHint()
    return true
  }

  volume(level) {
    this.level = Math.max(0, Math.min(100, level | 0))
    if (this.output) this.output.gain.value = this.level / 100
  }

  stop() {
    this.started = false
    this.withPlayer((p) => p.pause())
    this.showHint()
  }

  free(handle) {
    if (!this.modules.delete(handle)) return
    if (this.inWorklet === handle) {
      this.withPlayer((p) => p.stop())
      this.inWorklet = 0
    }
    if (this.playing === handle) this.playing = 0
    this.showHint()
  }

  // The first click or key lets the browser play.
  gesture() {
    if (this.context && this.context.state === 'suspended') this.context.resume().catch(() => {})
  }

  stateChanged(context) {
    if (context !== this.context) return
    if (context.state === 'running' && !this.heard) {
      this.heard = true
      // Nothing was rendered while the browser held the sound back: go on
      // from where the music would be by now.
      const module = this.modules.get(this.playing)
      if (module && module.since && module.duration > 0 && this.started) {
        const seconds = (performance.now() - module.since) / 1000
        this.withPlayer((p) => p.setPos(seconds % module.duration))
      }
    }
    this.showHint()
  }

  showHint() {
    const waiting = this.context !== null && this.context.state !== 'running' &&
      this.started && this.playing !== 0
    this.hint.hidden = !waiting
  }

  close() {
    if (this.context) this.context.close().catch(() => {})
    this.context = null
    this.opening = null
    this.output = null
    this.player = null
    this.ready = null
    this.inWorklet = 0
    this.playing = 0
    for (const resolve of this.answers.splice(0)) resolve(null)
  }
}

// The promise's value, or late when it takes longer than ms.
function within(promise, ms, late = null) {
  return Promise.race([promise, new Promise((resolve) => setTimeout(() => resolve(late), ms))])
}
