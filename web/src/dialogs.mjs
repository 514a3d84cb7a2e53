// What the page tells the reader: the viewer's message boxes as a modal
// dialog (in a scripted run nobody watches, a console line), and notices
// about the magazine below the frame.
export class Dialogs {
  // elements: box, boxCaption, boxText, notices; focusAfter: what gets the
  // focus back when a box closes (the canvas).
  constructor(elements, { automated, focusAfter }) {
    this.elements = elements
    this.automated = automated
    this.focusAfter = focusAfter
  }

  get open() {
    return this.elements.box.open
  }

  // Resolves once the reader closed the box.
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
        this.focusAfter()
        resolve()
      }, { once: true })
      box.showModal()
    })
  }

  // What the reader should know about the magazine: below the frame, and in
  // the console.
  notice(text) {
    const item = this.elements.notices.ownerDocument.createElement('li')
    item.textContent = text
    this.elements.notices.append(item)
    this.elements.notices.hidden = false
    console.warn('orbex: ' + text)
  }
}
