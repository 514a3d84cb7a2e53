// The shown article's text in the page, for screen readers, the browser's
// find, copy and translation: a heading with title and author, one paragraph
// per line of the picture (the viewer's own layout writes them, see
// src/platform/web/text.cpp), its links as link elements that give the
// viewer the input a click on that link in the picture gives, a live region
// that announces another article, and the lines in view marked. The "Text"
// button shows it beside or below the picture; hidden, it stays in the
// accessibility tree.
import { WM } from './keys.mjs'

// Copy is the browser's, whatever the page does with other keys.
export function isCopyKey(e) {
  return (e.ctrlKey || e.metaKey) && !e.altKey && e.code === 'KeyC'
}

export class ArticleTextView {
  // page: the Page (its input queue and frame count).
  constructor(document, page) {
    const byId = (id) => document.getElementById(id)
    this.document = document
    this.page = page
    this.section = byId('orbex-text')
    this.heading = byId('orbex-text-title')
    this.author = byId('orbex-text-author')
    this.body = byId('orbex-text-lines')
    this.news = byId('orbex-text-news')
    this.toggle = byId('orbex-text-toggle')
    this.selection = null
    this.clear()
    this.toggle.addEventListener('click', () => this.show(this.toggle.getAttribute('aria-pressed') !== 'true'))
  }

  clear() {
    this.lineElements = []
    this.lineLinks = [] // each line's links, by their places
    this.links = new Map() // a link's place in the text: { link, element }
    this.points = new Map() // the links that can be clicked now: place, [x, y]
    this.inView = []
  }

  // Keys typed in the text are the document's (Tab, Enter on a link, find).
  owns(target) {
    return target instanceof Node && this.section.contains(target)
  }

  show(visible) {
    this.toggle.setAttribute('aria-pressed', visible ? 'true' : 'false')
    this.section.classList.toggle('orbex-shown', visible)
  }

  // One message of the program (src/platform/web/text.cpp): another
  // article's whole text, the lines that changed in the same one, or only
  // the view; or no article.
  update(data) {
    if (!data.shown) {
      this.selection = null
      this.heading.textContent = 'No article shown'
      this.author.textContent = ''
      this.body.replaceChildren()
      this.clear()
      return
    }
    if (data.lines) this.write(data)
    if (data.splice) this.splice(data.splice)
    this.view(data.view)
  }

  write(data) {
    const title = data.title || (data.article === 1 ? 'Contents' : 'Article')
    this.heading.textContent = title
    this.author.textContent = data.author ? 'Author: ' + data.author : ''
    this.author.hidden = !data.author
    this.clear()
    this.body.replaceChildren()
    this.splice({ at: 0, remove: 0, lines: data.lines, links: data.links })
    if (data.selection !== this.selection) {
      this.selection = data.selection
      this.news.textContent = data.author ? `${title}, by ${data.author}` : title
    }
  }

  // Lines at to at + remove give way to lines; the others stay as they are,
  // elements and all: a text made again where a link wraps a line above the
  // window otherwise differs in a few lines only.
  splice({ at, remove, lines, links }) {
    for (const p of this.inView) p.removeAttribute('aria-current')
    this.inView = []
    for (const places of this.lineLinks.slice(at, at + remove)) {
      for (const place of places) {
        this.links.delete(place)
        this.points.delete(place)
      }
    }
    for (const p of this.lineElements.slice(at, at + remove)) p.remove()
    const lineLinks = lines.map(() => [])
    for (const link of links) {
      this.links.set(link.place, { link, element: null })
      lineLinks[link.line - at]?.push(link.place)
    }
    const elements = lines.map((line) => this.lineElement(line))
    // A link without text on any line still has its element, as every link.
    for (const link of links) this.links.get(link.place).element ??= this.linkElement(link)
    const before = this.lineElements[at + remove] ?? null
    const made = this.document.createDocumentFragment()
    made.append(...elements)
    this.body.insertBefore(made, before)
    this.lineElements.splice(at, remove, ...elements)
    this.lineLinks.splice(at, remove, ...lineLinks)
  }

  // A line's runs; a link's text is one run (its first), a second one (the
  // space after it) stays beside it.
  lineElement(runs) {
    const p = this.document.createElement('p')
    for (const [text, colour, place] of runs) {
      const known = place >= 0 ? this.links.get(place) : undefined
      let span
      if (known && !known.element) {
        span = known.element = this.linkElement(known.link)
      } else {
        span = this.document.createElement('span')
      }
      span.append(text)
      span.style.color = '#' + colour
      p.append(span)
    }
    return p
  }

  linkElement(link) {
    const a = this.document.createElement('a')
    a.href = '#orbex-text'
    a.className = link.music ? 'orbex-music-link' : 'orbex-article-link'
    if (link.music) a.title = 'Music: ' + link.module
    a.orbexLink = link.place
    a.setAttribute('aria-disabled', 'true')
    a.addEventListener('click', (e) => {
      e.preventDefault()
      this.follow(a.orbexLink)
    })
    return a
  }

  // The lines in view marked, and the links that can be clicked now
  // enabled; only what changed is touched.
  view(view) {
    for (const p of this.inView) p.removeAttribute('aria-current')
    this.inView = this.lineElements.slice(Math.max(0, view.first), view.last + 1)
    for (const p of this.inView) p.setAttribute('aria-current', 'location')
    const points = new Map(view.points.map(([place, x, y]) => [place, [x, y]]))
    for (const place of this.points.keys()) {
      if (!points.has(place)) this.links.get(place)?.element.setAttribute('aria-disabled', 'true')
    }
    for (const place of points.keys()) {
      if (!this.points.has(place)) this.links.get(place)?.element.removeAttribute('aria-disabled')
    }
    this.points = points
  }

  // As a tap in the picture: the pointer moves onto the link, a frame lays
  // the page out with it there, then the press and the release.
  async follow(place) {
    const point = this.points.get(place)
    if (!point) return
    const input = this.page.input
    input.moveTo(point[0], point[1])
    input.moved()
    const seen = this.page.stats.presents
    while (this.page.stats.presents <= seen + 1) await new Promise((resolve) => setTimeout(resolve, 5))
    const param = ((point[1] << 16) | point[0]) >>> 0
    input.post(WM.LBUTTONDOWN, 1, param)
    input.post(WM.LBUTTONUP, 0, param)
  }
}
