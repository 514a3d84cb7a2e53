// Opening a magazine from the reader's disk: the buttons, their file
// choosers and a drop anywhere on the page (they work whatever the page
// shows, the end or a refusal too). A picked magazine is checked here, where
// a refusal leaves the magazine shown as it is, kept in the browser
// (src/local.mjs), then shown by the page loaded again with ?local=NAME.
import { fetchScript } from './files.mjs'
import { keepLocal, loadLocal, pickedDrop, pickedFolder, prepare, refusal } from './local.mjs'

export class Opening {
  // elements: openZip, openFolder, zipInput, folderInput, openMessage.
  constructor(elements, location) {
    this.elements = elements
    this.location = location
    this.busy = false
  }

  listen() {
    const { openZip, openFolder, zipInput, folderInput } = this.elements
    openZip.addEventListener('click', () => zipInput.click())
    openFolder.addEventListener('click', () => folderInput.click())
    zipInput.addEventListener('change', () => {
      const file = zipInput.files[0]
      zipInput.value = ''
      if (file) this.open(Promise.resolve({ name: file.name, zip: file }))
    })
    folderInput.addEventListener('change', () => {
      const picked = pickedFolder(folderInput.files)
      folderInput.value = ''
      if (picked) this.open(Promise.resolve(picked))
    })
    const withFiles = (e) => e.dataTransfer?.types.includes('Files')
    window.addEventListener('dragover', (e) => {
      if (!withFiles(e)) return
      e.preventDefault()
      e.dataTransfer.dropEffect = 'copy'
    })
    window.addEventListener('drop', (e) => {
      if (!withFiles(e)) return
      e.preventDefault()
      const picked = pickedDrop(e.dataTransfer)
      if (picked) this.open(picked)
      else this.say('Drop one magazine: a folder or a zip file.')
    })
  }

  say(text) {
    const element = this.elements.openMessage
    element.textContent = text
    element.hidden = false
  }

  async open(picking) {
    if (this.busy) return
    this.busy = true
    let name = 'the magazine'
    try {
      const picked = await picking
      name = picked.name
      this.say(`Reading ${name}…`)
      await keepLocal(await prepare(picked))
      const url = new URL(this.location.href)
      url.searchParams.delete('magazine')
      url.searchParams.set('local', name)
      this.location.assign(url.href)
    } catch (e) {
      this.say(refusal(name, e))
    } finally {
      this.busy = false
    }
  }
}

// The kept magazine NAME as the program's files: { files, script }, its
// missing files added to stats.missing and its notices told; throws the
// refusal's text when it is refused.
export async function localFiles(name, scriptUrl, location, stats, notice) {
  const started = performance.now()
  try {
    const { files, missing, notices } = await loadLocal(name)
    stats.missing.push(...missing)
    for (const text of notices) notice(text)
    const script = await fetchScript(scriptUrl, location.href)
    stats.filesMs = performance.now() - started
    stats.files = files.size
    return { files, script }
  } catch (e) {
    throw new Error(refusal(name, e))
  }
}
