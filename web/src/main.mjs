// The page's entry: one Page, as window.orbex for tests and for the curious.
// On its way to a shelf (index.html's inline script), the page starts nothing.
import { Page } from './page.mjs'

const page = new Page(document, location)
window.orbex = page
if (!window.orbexLeaving) page.start()
