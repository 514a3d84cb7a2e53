// The program, as web/build.sh stores it: its script and its WebAssembly
// module gzipped (NAME.gz), fetched at once and inflated here with
// DecompressionStream, so that a host that compresses nothing sends little
// and one that does loses nothing (a body that comes inflated already is
// taken as it is). The script runs as an inline script, which the page's
// policy allows by its hash (build.sh writes it there); the module compiles
// while it streams in.
import { counting, ungzipped } from './files.mjs'

async function fetched(url, counted) {
  const response = await fetch(url)
  if (!response.ok) throw new Error(`${url}: ${response.status}`)
  return ungzipped(counting(response.body, counted))
}

// Starts fetching the program at scriptUrl (its .gz beside it) and its
// module at wasmUrl, and runs the script once it is in; Module (window.Module)
// compiles the module through instantiateWasm as it streams. counted(n)
// hears every n bytes off the wire. Rejects when either cannot be had.
export function loadProgram(document, Module, { scriptUrl, wasmUrl }, counted) {
  const wasm = fetched(wasmUrl, counted)
  Module.instantiateWasm = (imports, done) => {
    wasm.then((stream) => WebAssembly.instantiateStreaming(
      new Response(stream, { headers: { 'Content-Type': 'application/wasm' } }), imports))
      .then(({ instance, module }) => done(instance, module))
      .catch((e) => Module.onAbort?.(`cannot load ${wasmUrl}: ${e.message ?? e}`))
    return {}
  }
  return fetched(scriptUrl + '.gz', counted)
    .then((stream) => new Response(stream).text())
    .then((code) => {
      const tag = document.createElement('script')
      tag.textContent = code
      document.body.append(tag)
    })
}
