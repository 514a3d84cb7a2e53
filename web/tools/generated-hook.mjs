// The resolve hook that web/tools/generated.mjs registers: web/src/keys.mjs
// and web/src/constants.mjs, whoever imports them, are the build's.
import path from 'node:path'
import { fileURLToPath, pathToFileURL } from 'node:url'

const web = path.dirname(path.dirname(fileURLToPath(import.meta.url)))
const folder = path.resolve(process.env.ORBEX_PAGE_MODULES || path.join(web, '..', 'build'))
const generated = new Map(['keys.mjs', 'constants.mjs'].map((name) =>
  [pathToFileURL(path.join(web, 'src', name)).href, pathToFileURL(path.join(folder, name)).href]))

export async function resolve(specifier, context, next) {
  if (context.parentURL && /^\.\.?\//.test(specifier)) {
    const url = generated.get(new URL(specifier, context.parentURL).href)
    if (url) return { url, shortCircuit: true }
  }
  return next(specifier, context)
}
