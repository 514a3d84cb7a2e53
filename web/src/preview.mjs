// orbex-tool preview's page: the same page with a <meta name="orbex-preview">
// the preview's server adds (a published site never has it). It asks the
// server for news, waiting until there is some. After a build where only the
// archive, the font or the pictures changed, it writes them into the
// program's folder and posts the message that reads them again (the music
// plays on); after any other change (a module) it loads the page again,
// which opens at the same article and line without the start picture. A
// build's problems are shown over the last good one, and go when the
// sources are fixed.
import { PREVIEW_REOPEN_MESSAGE, REOPENED_FILES } from './constants.mjs'
import { FOLDER } from './files.mjs'

const AT_KEY = 'orbex5:preview-at'
const IN_PLACE = new Set(REOPENED_FILES)

// The problems as the page shows them, one per line.
export function problemText(problems) {
  return problems.map(({ file, line, message }) => `${file}${line ? `:${line}` : ''}: ${message}`).join('\n')
}

export class Preview {
  constructor(page, element, stateUrl, storage = globalThis.sessionStorage) {
    this.page = page
    this.element = element
    this.stateUrl = stateUrl
    this.storage = storage
    this.version = -1
    this.generation = null
    this.where = { article: 1, line: 0 }
    this.hidden = false
  }

  // Before the program starts: where the last page stood, and the news.
  begin() {
    const at = this.storage.getItem(AT_KEY)
    this.storage.removeItem(AT_KEY)
    if (at) {
      const [article, line] = at.split(':').map(Number)
      this.where = { article, line }
      // The start picture stays unseen until the article is drawn.
      this.hidden = true
      this.page.canvas.element.style.visibility = 'hidden'
      this.page.input.post(PREVIEW_REOPEN_MESSAGE, article, line)
    }
    this.watch()
  }

  // The program's article text: which article and line are shown.
  seen(data) {
    if (!data.shown) return
    if (data.article !== undefined) this.where.article = data.article
    if (data.view) this.where.line = data.view.first
    if (this.hidden) {
      this.hidden = false
      this.page.canvas.element.style.visibility = ''
    }
  }

  async watch() {
    for (;;) {
      let state
      try {
        const response = await fetch(`${this.stateUrl}?after=${this.version}`, { cache: 'no-store' })
        state = await response.json()
      } catch {
        // The preview ended, or the network went: ask again a little later.
        await new Promise((resolve) => setTimeout(resolve, 1000))
        continue
      }
      this.version = state.version
      this.show(state.problems)
      if (this.generation === null) this.generation = state.generation
      else if (state.generation !== this.generation) await this.reopen(state)
    }
  }

  show(problems) {
    this.element.textContent = problemText(problems)
    this.element.hidden = problems.length === 0
  }

  async reopen(state) {
    const FS = this.page.module?.FS
    const { article, line } = this.where
    if (FS && state.changed.every(({ name }) => IN_PLACE.has(name))) {
      for (const { name, stored } of state.changed) FS.writeFile(`${FOLDER}/${name}`, await this.fetchStored(stored))
      this.generation = state.generation
      this.page.input.post(PREVIEW_REOPEN_MESSAGE, article, line)
      return
    }
    this.storage.setItem(AT_KEY, `${article}:${line}`)
    this.page.location.reload()
  }

  async fetchStored(stored) {
    const response = await fetch(new URL(`magazine/${stored.split('/').map(encodeURIComponent).join('/')}`,
      this.page.document.baseURI), { cache: 'no-store' })
    const body = stored.endsWith('.gz') ? response.body.pipeThrough(new DecompressionStream('gzip')) : response.body
    return new Uint8Array(await new Response(body).arrayBuffer())
  }
}
