// The site's own defences, without a browser: node --test web/test/site.test.mjs
// - orbex-tool site (which web/build.sh runs) never empties or writes into
//   the magazine it copies, takes folders and regular files only, nothing a
//   browser would run, and lists what it took; its service worker keeps
//   every file of the site;
// - web/serve.sh's server sends the headers a real host should, and serves
//   no link and nothing outside the site;
// - the page's policy lets its own inline script run, and it preloads every
//   module it has;
// - the page's file handling (src/files.mjs): its own site only, the list
//   and every file within their limits.
import assert from 'node:assert/strict'
import { execFileSync, spawnSync } from 'node:child_process'
import crypto from 'node:crypto'
import fs from 'node:fs'
import http from 'node:http'
import os from 'node:os'
import path from 'node:path'
import zlib from 'node:zlib'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'
import { setTimeout as sleep } from 'node:timers/promises'

import { Canvas } from '../src/canvas.mjs'
import { SCREEN_HEIGHT as HEIGHT, SCREEN_WIDTH as WIDTH } from '../src/constants.mjs'
import { MagazineLoader } from '../src/loader.mjs'
import { FILE_POLICY, WORKER_POLICY, serve } from '../tools/server.mjs'
import { FLING_SPEED, liftSpeed } from '../src/touch.mjs'
import {
  MAX_FILES, MAX_FILE_BYTES, MAX_LIST_BYTES, fetchFileList, fetchScript, magazineFolder, musicNames, parseFileList,
  readCapped,
} from '../src/files.mjs'
import { runSite, templateEdition } from './fixtures.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')
const PAGE = 'http://127.0.0.1:8000/index.html'

let tmp
let edition
before(() => {
  tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-site-'))
  edition = templateEdition(path.join(tmp, 'edition'))
})
after(() => fs.rmSync(tmp, { recursive: true, force: true }))

function write(file, data = 'x') {
  fs.mkdirSync(path.dirname(file), { recursive: true })
  fs.writeFileSync(file, data)
}

// A magazine someone else made: its files, and everything a site must not
// take from it.
function hostileMagazine(dir, secret) {
  // Its music links name a module by an odd name, and a page.
  write(path.join(dir, 'data', 'orbex.dat'),
    Buffer.from('archive \xa8song.dat"\0\0\0\0\0\0Musik\xa8 \xa8evil.shtml"\0\0\0\0\0\0Seite\xa8\x9e', 'latin1'))
  write(path.join(dir, 'extreme2.xm'), 'module')
  write(path.join(dir, 'song.dat'), 'module')
  write(path.join(dir, 'sub dir', 'ok.txt'), 'fine')
  write(path.join(secret, 'id_rsa'), 'secret key')
  fs.symlinkSync(path.join(secret, 'id_rsa'), path.join(dir, 'notes.txt'))
  fs.symlinkSync(secret, path.join(dir, 'etc'))
  fs.symlinkSync('extreme2.xm', path.join(dir, 'data', 'same.xm'))
  for (const name of ['pic.svg', 'page.html', 'old.HTM', 'run.js', 'mod.mjs', 'doc.xhtml', 'feed.XML', 'page.shtml',
    'doc.xht', 'doc.xhtm', 'notes.md', '../evil.shtml']) {
    write(path.join(dir, 'sub dir', name), '<script>alert(1)</script>')
  }
  spawnSync('mkfifo', [path.join(dir, 'pipe')])
  write(path.join(dir, 'two\nlines.txt'))
  write(path.join(dir, '#hash.txt'))
  write(path.join(dir, 'orbex.log'), 'a desktop run')
  write(path.join(dir, 'save.txt'), 'a desktop run')
  fs.writeFileSync(Buffer.from(path.join(dir, 'latin-\xe9.txt'), 'latin1'), 'x')
  // Sparse: no disk space taken.
  fs.closeSync(fs.openSync(path.join(dir, 'huge.xm'), 'w'))
  fs.truncateSync(path.join(dir, 'huge.xm'), MAX_FILE_BYTES + 1)
}

// Every path under dir, folders with a trailing /, links marked with @.
function tree(dir, prefix = '') {
  const out = []
  for (const entry of fs.readdirSync(dir, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const rel = prefix + entry.name
    if (entry.isSymbolicLink()) out.push(rel + '@')
    else if (entry.isDirectory()) out.push(rel + '/', ...tree(path.join(dir, entry.name), rel + '/'))
    else out.push(rel)
  }
  return out
}

describe('orbex-tool site', () => {
  test('refuses a site folder that is the magazine, lies inside it or holds it, and leaves the magazine as it was',
    () => {
      const dir = path.join(tmp, 'refuse')
      const magazine = path.join(dir, 'magazine')
      write(path.join(magazine, 'data', 'orbex.dat'), 'archive')
      write(path.join(magazine, 'files.txt'), 'data/orbex.dat\n')
      fs.symlinkSync(magazine, path.join(dir, 'link'))
      const before = tree(magazine)
      for (const out of [dir, magazine, path.join(magazine, 'site'), path.join(dir, 'link', 'site'), `${dir}/./`]) {
        const run = runSite(edition, [magazine, out])
        assert.equal(run.status, 1, `${out}: ${run.stderr}`)
        assert.match(run.stderr, /choose another/, out)
        assert.deepEqual(tree(magazine), before, `${out}: the magazine changed`)
      }
      assert.equal(fs.readFileSync(path.join(magazine, 'data', 'orbex.dat'), 'utf8'), 'archive')
    })

  test('copies folders and regular files a magazine uses only, nothing a browser runs, naming each file left out', () => {
    const magazine = path.join(tmp, 'hostile')
    hostileMagazine(magazine, path.join(tmp, 'secret'))
    const out = path.join(tmp, 'hostile-site')
    const run = runSite(edition, [magazine, out])
    assert.equal(run.status, 0, run.stderr)
    assert.deepEqual(tree(path.join(out, 'magazine')),
      ['data/', 'data/orbex.dat', 'extreme2.xm', 'files.txt', 'song.dat', 'sub dir/', 'sub dir/ok.txt'])
    assert.equal(fs.readFileSync(path.join(out, 'magazine', 'files.txt'), 'utf8'),
      'data/orbex.dat\t56\nextreme2.xm\t6\nsong.dat\t6\nsub dir/ok.txt\t4\n')
    const said = run.stderr.split('\n').filter(Boolean).sort()
    const left = (name, why) => new RegExp(`^orbex-tool site: warning: left out ${name.replace(/[.\\]/g, '\\$&')}: ${why}`)
    const expect = [
      left('latin-\\xe9.txt', 'its name is not UTF-8$'),
      left('#hash.txt', 'files.txt cannot name it$'),
      left('data/same.xm', 'a link$'),
      left('etc', 'a link$'),
      left('huge.xm', 'larger than 64 MiB'),
      left('notes.txt', 'a link$'),
      left('pipe', 'not a regular file$'),
      ...['doc.xht', 'doc.xhtm', 'doc.xhtml', 'feed.XML', 'mod.mjs', 'notes.md', 'old.HTM', 'page.html', 'page.shtml',
        'pic.svg', 'run.js'].map((name) => left(`sub dir/${name}`,
        'no file a magazine uses \\(its files, modules, text and pictures\\)$')),
      left('evil.shtml', 'no file a magazine uses'),
      left('two\\x0alines.txt', 'files.txt cannot name it$'),
    ]
    for (const pattern of expect) assert.ok(said.some((line) => pattern.test(line)), `${pattern} not in\n${run.stderr}`)
    assert.equal(said.length, expect.length, run.stderr)
  })

  test("a magazine's own files.txt keeps its order and lists only what was copied", () => {
    const magazine = path.join(tmp, 'listed')
    write(path.join(magazine, 'b.xm'))
    write(path.join(magazine, 'a.xm'))
    write(path.join(magazine, 'cover.png'))
    write(path.join(magazine, 'pic.svg'))
    fs.symlinkSync('/etc/passwd', path.join(magazine, 'passwd'))
    write(path.join(magazine, 'files.txt'), '# the music\r\nb.xm\r\n\r\na.xm\r\nb.xm\r\npic.svg\r\npasswd\r\ngone.xm\r\n')
    const out = path.join(tmp, 'listed-site')
    const run = runSite(edition, [magazine, out])
    assert.equal(run.status, 0, run.stderr)
    assert.equal(fs.readFileSync(path.join(out, 'magazine', 'files.txt'), 'utf8'), 'b.xm\t1\na.xm\t1\n')
    for (const name of ['pic.svg', 'passwd', 'gone.xm']) {
      assert.match(run.stderr, new RegExp(`files.txt names ${name}, which is not in the site`))
    }
    // Copied, though not listed: the maker left it out of the list.
    assert.ok(fs.existsSync(path.join(out, 'magazine', 'cover.png')))

    // A list that is a link is no list of the magazine's.
    const linked = path.join(tmp, 'linked-list')
    write(path.join(linked, 'a.xm'))
    write(path.join(tmp, 'elsewhere.txt'), '../../etc/passwd\n')
    fs.symlinkSync(path.join(tmp, 'elsewhere.txt'), path.join(linked, 'files.txt'))
    assert.equal(runSite(edition, [linked, path.join(tmp, 'linked-site')]).status, 0)
    assert.equal(fs.readFileSync(path.join(tmp, 'linked-site', 'magazine', 'files.txt'), 'utf8'), 'a.xm\t1\n')
  })
})

// The headers of a response, and its status.
function get(url) {
  return new Promise((resolve, reject) => {
    http.get(url, (res) => {
      res.resume()
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers }))
    }).on('error', reject)
  })
}

describe("web/serve.sh's server", () => {
  let site
  let server

  before(async () => {
    site = path.join(tmp, 'served-site')
    write(path.join(site, 'index.html'), '<!doctype html>')
    write(path.join(site, 'shelf.html'), '<!doctype html>')
    write(path.join(site, 'magazine', 'shelf.html'), '<!doctype html>')
    write(path.join(site, 'src', 'main.mjs'), '')
    write(path.join(site, 'service-worker.js'), '')
    write(path.join(site, 'manifest.webmanifest'), '{}')
    write(path.join(site, 'magazine', 'service-worker.js'), '')
    write(path.join(site, 'magazine', 'pic.svg'), '<svg/>')
    write(path.join(site, 'magazine', 'text.txt'), '<html><script>alert(1)</script>')
    write(path.join(tmp, 'secret.txt'), 'secret')
    fs.symlinkSync(path.join(tmp, 'secret.txt'), path.join(site, 'magazine', 'notes.txt'))
    fs.symlinkSync(tmp, path.join(site, 'magazine', 'up'))
    spawnSync('mkfifo', [path.join(site, 'magazine', 'pipe')])
    server = await serve(site)
  })
  after(() => server?.close())

  test('sends nosniff everywhere, and a policy that runs no script with every file but the pages', async () => {
    for (const name of ['', 'index.html', 'shelf.html', 'orbex-page.js.gz', 'magazine/pic.svg', 'magazine/text.txt',
      'magazine/shelf.html', 'nothing']) {
      const { headers } = await get(server.url + name)
      assert.equal(headers['x-content-type-options'], 'nosniff', name)
      const page = name === '' || name === 'index.html' || name === 'shelf.html'
      assert.equal(headers['content-security-policy'], page ? undefined : FILE_POLICY, name)
    }
    assert.match(FILE_POLICY, /(^|; )sandbox(;|$)/)
    assert.match(FILE_POLICY, /default-src 'none'/)
    assert.equal((await get(server.url + 'magazine/text.txt')).headers['content-type'], 'text/plain; charset=utf-8')
  })

  test("the site's service worker may fetch from the site; no other file may, nor a worker in the magazine", async () => {
    const worker = await get(server.url + 'service-worker.js')
    assert.equal(worker.headers['content-security-policy'], WORKER_POLICY)
    assert.equal(worker.headers['content-type'], 'text/javascript')
    assert.equal(worker.headers['x-content-type-options'], 'nosniff')
    // A sandbox would give the worker no storage of its own.
    assert.doesNotMatch(WORKER_POLICY, /sandbox/)
    assert.match(WORKER_POLICY, /default-src 'none'; connect-src 'self'$/)
    assert.equal((await get(server.url + 'magazine/service-worker.js')).headers['content-security-policy'], FILE_POLICY)
    const manifest = await get(server.url + 'manifest.webmanifest')
    assert.equal(manifest.headers['content-type'], 'application/manifest+json')
    assert.equal(manifest.headers['content-security-policy'], FILE_POLICY)
  })

  test('serves no link, nothing but regular files and nothing outside the site', async () => {
    assert.equal((await get(server.url + 'magazine/pic.svg')).status, 200)
    for (const name of ['magazine/notes.txt', 'magazine/up/secret.txt', 'magazine/pipe', 'magazine/', '../secret.txt',
      '%2e%2e/secret.txt', 'magazine/%2e%2e/%2e%2e/secret.txt']) {
      assert.equal((await get(server.url + name)).status, 404, name)
    }
  })
})

describe('the page', () => {
  const html = fs.readFileSync(path.join(webDir, 'index.html'), 'utf8')
  const policy = /<meta http-equiv="Content-Security-Policy" content="([^"]*)">/.exec(html)?.[1]

  test('carries a policy that lets its own inline script run and no other', () => {
    assert.ok(policy, 'no policy in index.html')
    assert.ok(html.indexOf('Content-Security-Policy') < html.indexOf('<script'), 'the policy comes after a script')
    const scripts = [...html.matchAll(/<script>([\s\S]*?)<\/script>/g)].map((m) => m[1])
    const allowed = [...policy.matchAll(/'sha256-([^']+)'/g)].map((m) => m[1])
    const hashes = scripts.map((s) => crypto.createHash('sha256').update(s).digest('base64'))
    assert.deepEqual(allowed, hashes, `the policy's hashes are not those of the inline scripts: ${hashes}`)
    assert.match(policy, /script-src 'self' 'wasm-unsafe-eval' 'sha256-/)
    // The page's code and the program's script, which run inline, by the
    // hashes build.sh writes.
    assert.match(policy, /'@PAGE_HASH@' '@PROGRAM_HASH@';/)
    assert.doesNotMatch(policy, /unsafe-inline|'unsafe-eval'|blob:|\*/)
  })

  test('asks for its code, the program and the start files early, and for nothing else', () => {
    assert.doesNotMatch(html, /rel="modulepreload"|<script type="module"|src="src\//)
    const fetched = [...html.matchAll(/<link rel="preload" href="([^"]+)" as="fetch" crossorigin>/g)].map((m) => m[1])
    assert.deepEqual(fetched, ['orbex-program.wasm.gz', 'orbex-program.js.gz'])
    // Before the inline script that asks for the page's code and the files,
    // so that the program has its connections first.
    assert.ok(html.indexOf('rel="preload"') < html.indexOf('<script>'))
    // The build writes the viewer's start files here, from constants.mjs.
    assert.match(html, /<meta name="orbex-start-files" content="@START_FILES@">/)
  })
})

describe("the page's files", () => {
  test('a magazine only from its own site', () => {
    for (const param of [null, '', 'magazine', 'other/', '/issues/2/', '?x', 'http://127.0.0.1:8000/m/']) {
      assert.ok(magazineFolder(param, PAGE).url?.startsWith('http://127.0.0.1:8000/'), String(param))
    }
    assert.equal(magazineFolder(null, PAGE).url, 'http://127.0.0.1:8000/magazine/')
    assert.equal(magazineFolder('other', PAGE).url, 'http://127.0.0.1:8000/other/')
    for (const param of ['http://elsewhere/', '//elsewhere/m/', 'https://127.0.0.1:8000/', 'http://127.0.0.1:8001/',
      'data:text/plain,x', 'javascript:alert(1)', 'blob:http://127.0.0.1:8000/x', 'http://[']) {
      const { url, error } = magazineFolder(param, PAGE)
      assert.equal(url, undefined, param)
      assert.match(error, /^This page (shows only magazines from its own site|cannot show a magazine)/, param)
    }
    assert.match(magazineFolder('http://elsewhere:81/x/', PAGE).error, /not from http:\/\/elsewhere:81\.$/)
  })

  test('the list: each usable path once, in order, no more than MAX_FILES; sizes and compressed copies as built', () => {
    const names = (text) => parseFileList(text).entries.map((e) => e.name)
    assert.deepEqual(names('a\r\n b \n#c\n\n/d\n../e\nf/../g\nh\\i\na\nj/k\n'), ['a', 'b', 'j/k'])
    const many = Array.from({ length: MAX_FILES + 5 }, (_, i) => `f${i}`)
    const { entries, cut } = parseFileList(many.join('\n'))
    assert.equal(cut, true)
    assert.deepEqual(entries.map((e) => e.name), many.slice(0, MAX_FILES))
    assert.equal(parseFileList(many.slice(0, MAX_FILES).join('\n')).cut, false)
    assert.deepEqual(parseFileList('data/begin.raw\t921600\t175763\nextreme2.xm\t1064\nplain\nodd\tx\t5\n').entries, [
      { name: 'data/begin.raw', size: 921600, packed: 175763, compressed: true },
      { name: 'extreme2.xm', size: 1064, compressed: false },
      { name: 'plain', compressed: false },
      { name: 'odd', compressed: false },
    ])
  })

  test("the modules an archive's music links name, in their order", () => {
    const archive = Buffer.from('\xa8b.xm"\0\0\0\0\0\0B\xa8 \xa8./music/a.xm"x\xa8 \xa8../up.xm"\xa8 \xa8"\xa8', 'latin1')
    assert.deepEqual([...musicNames(archive)], ['b.xm', 'music/a.xm'])
  })

  // A response whose body comes in chunks of size bytes, up to total;
  // pulled counts the bytes the reader took.
  function chunked(total, size, headers = {}) {
    const counter = { pulled: 0 }
    const body = new ReadableStream({
      pull(controller) {
        const n = Math.min(size, total - counter.pulled)
        if (n <= 0) return controller.close()
        counter.pulled += n
        controller.enqueue(new Uint8Array(n).fill(7))
      },
    }, { highWaterMark: 0 })
    return { response: new Response(body, { headers }), counter }
  }

  test('a file larger than the limit is not read, whether its length is declared or not', async () => {
    const small = chunked(1000, 300, { 'content-length': '1000' })
    const bytes = await readCapped(small.response, 1000)
    assert.equal(bytes.length, 1000)
    assert.ok(bytes.every((b) => b === 7))
    assert.equal((await readCapped(chunked(1000, 300).response, 1000)).length, 1000)

    const declared = chunked(1 << 30, 1 << 16, { 'content-length': String(1 << 30) })
    assert.equal(await readCapped(declared.response, 1 << 20), null)
    assert.equal(declared.counter.pulled, 0, 'a body declared too long was read')

    for (const headers of [{}, { 'content-length': '1000', 'content-encoding': 'gzip' }]) {
      const unknown = chunked(1 << 30, 1 << 16, headers)
      assert.equal(await readCapped(unknown.response, 1 << 20), null)
      assert.ok(unknown.counter.pulled <= (1 << 20) + (1 << 17), `${unknown.counter.pulled} bytes read`)
    }
  })

  describe('fetched from a site', () => {
    let site
    let server
    let foreign
    const notices = []
    const report = (text) => notices.push(text)

    before(async () => {
      site = path.join(tmp, 'fetched')
      write(path.join(site, 'many', 'a.bin'), 'first')
      const names = ['a.bin', ...Array.from({ length: MAX_FILES + 100 }, (_, i) => `gone-${i}.bin`)]
      write(path.join(site, 'many', 'files.txt'), names.join('\n'))
      write(path.join(site, 'big', 'ok.bin'), 'fine')
      fs.closeSync(fs.openSync(path.join(site, 'big', 'huge.xm'), 'w'))
      fs.truncateSync(path.join(site, 'big', 'huge.xm'), MAX_FILE_BYTES + 1)
      write(path.join(site, 'big', 'files.txt'), 'huge.xm\nok.bin\n')
      // Longer than the list may be: its first whole lines count.
      const line = 'x'.repeat(1000) + '\n'
      write(path.join(site, 'long', 'files.txt'), 'ok.bin\n' + line.repeat(Math.ceil(MAX_LIST_BYTES / line.length) + 10))
      write(path.join(site, 'long', 'ok.bin'), 'fine')
      // Stored compressed as the build stores it; one "compressed" file that
      // a host sent inflated; one that inflates past the limit.
      const archive = Buffer.from('Inhalt '.repeat(1000))
      write(path.join(site, 'packed', 'data', 'orbex.dat.gz'), zlib.gzipSync(archive))
      write(path.join(site, 'packed', 'plain.txt.gz'), 'sent as it is')
      const bomb = zlib.gzipSync(Buffer.alloc(MAX_FILE_BYTES + 10))
      write(path.join(site, 'packed', 'bomb.xm.gz'), bomb)
      write(path.join(site, 'packed', 'files.txt'), [`data/orbex.dat\t${archive.length}\t10`, 'plain.txt\t13\t13',
        `bomb.xm\t100\t${bomb.length}`, ''].join('\n'))
      // A magazine to load in order: its archive links a module.
      for (const name of ['data/begin.raw', 'data/chars.168', 'extreme2.xm', 'y.txt', 'linked.xm', 'z.txt', 'x.txt']) {
        write(path.join(site, 'order', name), name)
      }
      write(path.join(site, 'order', 'data', 'orbex.dat'), Buffer.from('\xa8linked.xm"\0\0\0\0\0\0Musik\xa8', 'latin1'))
      write(path.join(site, 'order', 'files.txt'), ['x.txt', 'y.txt', 'z.txt', 'linked.xm', 'data/orbex.dat',
        'extreme2.xm', 'data/begin.raw', 'data/chars.168', ''].join('\n'))
      server = await serve(site)
      foreign = await serve(site)
    })
    after(() => {
      server?.close()
      foreign?.close()
    })

    // The list, then every file it names, as the page's loader fetches them.
    const run = async (folder, script = null) => {
      notices.length = 0
      const url = server.url + folder
      const list = await fetchFileList(url)
      const files = new Map()
      const loader = new MagazineLoader({ folder: url, entries: list.entries, said: report })
      loader.installInto((name, data) => files.set(name, data))
      loader.fetchTheRest()
      await loader.all()
      return { files, missing: loader.missing, cut: list.cut, loader,
        script: await fetchScript(script, server.url + 'index.html') }
    }

    test('a list longer than MAX_FILES names is cut', async () => {
      const before = server.requests.length
      const { files, missing, cut } = await run('many/')
      const asked = server.requests.slice(before).filter((r) => r !== '/many/files.txt')
      assert.equal(asked.length, MAX_FILES)
      assert.deepEqual([...files.keys()], ['a.bin'])
      assert.equal(missing.length, MAX_FILES - 1)
      assert.equal(cut, true)
    })

    test('a listed file over the limit is missing, and the reader told', async () => {
      const { files, missing } = await run('big/')
      assert.deepEqual([...files.keys()], ['ok.bin'])
      assert.deepEqual(missing, ['huge.xm'])
      assert.deepEqual(notices, ['huge.xm is larger than 64 MiB and is not loaded.'])
    })

    test('a compressed copy is inflated, within the limit; one sent inflated is taken as it is', async () => {
      const { files, missing } = await run('packed/')
      assert.equal(new TextDecoder().decode(files.get('data/orbex.dat')), 'Inhalt '.repeat(1000))
      assert.equal(new TextDecoder().decode(files.get('plain.txt')), 'sent as it is')
      assert.deepEqual(missing, ['bomb.xm'])
      assert.deepEqual(notices, ['bomb.xm is larger than 64 MiB and is not loaded.'])
    })

    test('the start files come first, the rest only once the first frame asks; a file the viewer opens jumps the queue',
      async () => {
        const url = server.url + 'order/'
        const list = await fetchFileList(url)
        const loader = new MagazineLoader({ folder: url, entries: list.entries })
        const from = server.requests.length
        loader.startWith(['data/begin.raw', 'data/chars.168'])
        await Promise.all([loader.whenThere('data/begin.raw'), loader.whenThere('data/chars.168')])
        await sleep(100)
        assert.deepEqual(server.requests.slice(from).sort(), ['/order/data/begin.raw', '/order/data/chars.168'])
        assert.equal(loader.onItsWay('/magazine/z.txt'), true)
        assert.equal(loader.onItsWay('data/begin.raw'), false)
        assert.equal(loader.onItsWay('not-listed.xm'), false)
        loader.fetchTheRest()
        // The start module and the archive first, in the list's order the
        // rest; a file the viewer opens starts at once.
        assert.deepEqual(loader.queue, ['x.txt', 'y.txt', 'z.txt', 'linked.xm'])
        const z = loader.whenThere('./z.txt')
        assert.deepEqual(loader.queue, ['x.txt', 'y.txt', 'linked.xm'])
        await loader.whenThere('data/orbex.dat')
        // The archive's music links go first of what still waits.
        assert.ok(!loader.queue.includes('linked.xm') || loader.queue[0] === 'linked.xm', loader.queue.join(' '))
        await loader.all()
        await z
        const rest = server.requests.slice(from + 2)
        assert.deepEqual(rest.slice(0, 3), ['/order/extreme2.xm', '/order/data/orbex.dat', '/order/z.txt'])
      })

    test('a files.txt over its limit gives its first lines', async () => {
      const { files, cut } = await run('long/')
      assert.equal(new TextDecoder().decode(files.get('ok.bin')), 'fine')
      assert.equal(cut, true)
    })

    test("another site's script is not asked for", async () => {
      const before = foreign.requests.length
      const { script } = await run('big/', foreign.url + 'script.txt')
      assert.equal(script, null)
      assert.equal(foreign.requests.length, before)
    })
  })
})

describe('offline: the service worker orbex-tool site writes', () => {
  // The worker's version and list of files, as the site's copy says them.
  const workerOf = (site) => {
    const worker = fs.readFileSync(path.join(site, 'service-worker.js'), 'utf8')
    return { version: JSON.parse(/const VERSION = (.*)/.exec(worker)[1]), files: JSON.parse(/const SITE_FILES = (.*)/.exec(worker)[1]) }
  }

  test("the worker's list is every file of the site but itself; its version changes with any of them", () => {
    const magazine = path.join(tmp, 'offline')
    write(path.join(magazine, 'data', 'orbex.dat'), 'archive')
    write(path.join(magazine, 'sub dir', 'a.txt'), 'a')
    const site = path.join(tmp, 'offline-site')
    assert.equal(runSite(edition, [magazine, site]).status, 0)
    const { version, files } = workerOf(site)
    assert.deepEqual(files, ['index.html', 'magazine/data/orbex.dat', 'magazine/files.txt', 'magazine/sub%20dir/a.txt'])
    assert.match(version, /^[0-9a-f]{16}$/)
    assert.equal(runSite(edition, [magazine, site]).status, 0, 'a site made before is made again')
    assert.equal(workerOf(site).version, version)
    write(path.join(magazine, 'sub dir', 'a.txt'), 'b')
    assert.equal(runSite(edition, [magazine, site]).status, 0)
    assert.notEqual(workerOf(site).version, version, "a magazine's file changed, the version did not")
    // A folder that holds something else is no site to write over.
    write(path.join(tmp, 'someone', 'thesis.txt'), 'years of work')
    const run = runSite(edition, [magazine, path.join(tmp, 'someone')])
    assert.equal(run.status, 1)
    assert.match(run.stderr, /not empty, and no site made before/)
    assert.equal(fs.readFileSync(path.join(tmp, 'someone', 'thesis.txt'), 'utf8'), 'years of work')
  })
})

describe('the page in node', () => {
  test('a finger leaving the glass: its speed over its last movement, none when it had stopped', () => {
    // 20 CSS pixels every 10 ms, upwards, then off the glass at once.
    const flung = Array.from({ length: 8 }, (_, i) => [1000 + 10 * i, 500 - 20 * i])
    flung.push([1075, 360])
    assert.equal(liftSpeed(flung), -2)
    // The same, but still for 80 ms before it left.
    assert.equal(liftSpeed([...flung.slice(0, -1), [1150, 360]]), 0)
    // Slow, as a reader drags a line at a time.
    const dragged = Array.from({ length: 20 }, (_, i) => [1000 + 40 * i, 300 + 4 * i])
    assert.ok(Math.abs(liftSpeed(dragged)) < FLING_SPEED)
    assert.equal(liftSpeed([[1000, 300]]), 0)
  })

  // A canvas that records what is put on it.
  function fakeCanvas() {
    const puts = []
    const context = { putImageData: (image, x, y, dx, dy, dw, dh) => puts.push({ image, rows: [dy, dh] }) }
    return { puts, element: { getContext: () => context, style: {} } }
  }

  test('only the rows the program names are put on the canvas, from its memory as they are; none, nothing', () => {
    globalThis.ImageData ??= class {
      constructor(data, width, height) {
        Object.assign(this, { data, width, height })
      }
    }
    const { puts, element } = fakeCanvas()
    const canvas = new Canvas(element)
    const heap = new Uint8Array(64 + WIDTH * HEIGHT * 4)
    assert.equal(canvas.present(heap, 16, WIDTH, HEIGHT, 0, -1), false, 'an unchanged frame was put again')
    assert.equal(canvas.present(heap, 16, WIDTH, HEIGHT, 100, 130), true)
    assert.equal(canvas.present(heap, 16, WIDTH, HEIGHT, -5, 900), true)
    assert.deepEqual(puts.map((p) => p.rows), [[100, 31], [0, HEIGHT]])
    // No copy and no conversion: the program's own bytes.
    const { data } = puts[0].image
    assert.equal(data.buffer, heap.buffer)
    assert.equal(data.byteOffset, 16)
    assert.equal(data.length, WIDTH * HEIGHT * 4)
  })
})
