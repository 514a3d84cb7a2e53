// The page's entry: one Page, as window.orbex for tests and for the curious.
// web/build.sh bundles it with every module it imports into orbex-page.js.
import { Page } from './page.mjs'

const page = new Page(document, location)
window.orbex = page
page.start()
