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
    this.lineElements = []
    this.lineKeys = [] // what each line shows, to keep its element
    this.linkElements = []
    this.points = []
    this.inView = []
    this.toggle.addEventListener('click', () => this.show(this.toggle.getAttribute('aria-pressed') !== 'true'))
  }

  // Keys typed in the text are the document's (Tab, Enter on a link, find).
  owns(target) {
    return target instanceof Node && this.section.contains(target)
  }

  show(visible) {
    this.toggle.setAttribute('aria-pressed', visible ? 'true' : 'false')
    this.section.classList.toggle('orbex-shown', visible)
  }

  // One message of the program: everything, only the view, or no article.
  update(data) {
    if (!data.shown) {
      this.selection = null
      this.heading.textContent = 'No article shown'
      this.author.textContent = ''
      this.body.replaceChildren()
      this.lineElements = []
      this.lineKeys = []
      this.linkElements = []
      this.points = []
      this.inView = []
      return
    }
    if (data.lines) this.write(data)
    this.view(data.view)
  }

  // Lines the last text had too (the same runs, colours and links) keep
  // their elements: a scroll by a line makes the text again where a link
  // wraps a line above the window otherwise, and most lines stay as they
  // were.
  write(data) {
    const title = data.title || (data.article === 1 ? 'Contents' : 'Article')
    this.heading.textContent = title
    this.author.textContent = data.author ? 'Author: ' + data.author : ''
    this.author.hidden = !data.author
    const linkKey = (k) => {
      const link = data.links[k]
      return [link.music, link.module, link.target, link.targetLine]
    }
    const kept = new Map()
    this.lineElements.forEach((p, i) => {
      const key = this.lineKeys[i]
      if (kept.has(key)) kept.get(key).push(p)
      else kept.set(key, [p])
    })
    this.linkElements = new Array(data.links.length)
    this.lineKeys = data.lines.map((line) => JSON.stringify(line.map(([text, colour, link]) =>
      [text, colour, link >= 0 ? linkKey(link) : null])))
    this.lineElements = data.lines.map((line, i) => {
      // A link's text is one run (its first); a second one (a space) stays beside it.
      const firsts = []
      const isFirst = line.map(([, , link]) => link >= 0 && !firsts.includes(link) && firsts.push(link) > 0)
      const same = kept.get(this.lineKeys[i])?.shift()
      if (same) {
        same.querySelectorAll('a').forEach((a, n) => {
          a.orbexLink = firsts[n]
          this.linkElements[firsts[n]] = a
        })
        return same
      }
      const p = this.document.createElement('p')
      line.forEach(([text, colour, link], r) => {
        let span
        if (isFirst[r]) {
          span = this.linkElement(data.links[link], link)
          this.linkElements[link] = span
        } else {
          span = this.document.createElement('span')
        }
        span.append(text)
        span.style.color = '#' + colour
        p.append(span)
      })
      return p
    })
    // A link without text on any line still has its element, as every link.
    data.links.forEach((link, k) => {
      this.linkElements[k] ??= this.linkElement(link, k)
    })
    for (const p of this.inView) p.removeAttribute('aria-current')
    this.inView = []
    this.placeLines()
    if (data.selection !== this.selection) {
      this.selection = data.selection
      this.news.textContent = data.author ? `${title}, by ${data.author}` : title
    }
  }

  // The section's lines become lineElements, moving only what changed: a
  // page that lays out thousands of lines again costs more than the rest.
  placeLines() {
    const lines = new Set(this.lineElements)
    for (const p of [...this.body.children]) if (!lines.has(p)) p.remove()
    let at = this.body.firstElementChild
    for (const p of this.lineElements) {
      if (p === at) at = at.nextElementSibling
      else this.body.insertBefore(p, at)
    }
  }

  linkElement(link, k) {
    const a = this.document.createElement('a')
    a.href = '#orbex-text'
    a.className = link.music ? 'orbex-music-link' : 'orbex-article-link'
    if (link.music) a.title = 'Music: ' + link.module
    a.orbexLink = k
    a.addEventListener('click', (e) => {
      e.preventDefault()
      this.follow(a.orbexLink)
    })
    return a
  }

  view(view) {
    for (const p of this.inView) p.removeAttribute('aria-current')
    this.inView = this.lineElements.slice(Math.max(0, view.first), view.last + 1)
    for (const p of this.inView) p.setAttribute('aria-current', 'location')
    this.points = view.points
    this.linkElements.forEach((a, k) => {
      if (view.points[k]) a.removeAttribute('aria-disabled')
      else a.setAttribute('aria-disabled', 'true')
    })
  }

  // As a tap in the picture: the pointer moves onto the link, a frame lays
  // the page out with it there, then the press and the release.
  async follow(k) {
    const point = this.points[k]
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
