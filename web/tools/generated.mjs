// For node: the page's generated modules (keys.mjs, constants.mjs), which
// web/src/ imports as its own, come from the build folder that wrote them
// (ORBEX_PAGE_MODULES; default build/, the desktop build's). Used as
//   node --import ./web/tools/generated.mjs ...
// by web/build.sh for its tools and by the page's tests.
import { register } from 'node:module'

register('./generated-hook.mjs', import.meta.url)
