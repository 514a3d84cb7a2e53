// Magazines from zips and shelves of issues, without a browser:
// node --test web/test/zip.test.mjs
// - src/zip.mjs (the page's reader of a zip from the reader's disk, and
//   web/build.sh's) takes a magazine's zip as its folder, and refuses
//   hostile ones whole, with the reason;
// - src/local.mjs chooses a dropped folder's files within the limits;
// - orbex-tool site given zips and several magazines unpacks a zip as it
//   copies a folder, and leaves nothing of a refused one (the same table of
//   hostile zips as the page's reader); it writes the shelf, each issue's
//   start picture its cover.
import assert from 'node:assert/strict'
import { spawnSync } from 'node:child_process'
import fs from 'node:fs'
import os from 'node:os'
import path from 'node:path'
import zlib from 'node:zlib'
import { after, before, describe, test } from 'node:test'
import { fileURLToPath } from 'node:url'

import { MAX_FILES, MAX_FILE_BYTES, MAX_TOTAL_BYTES } from '../src/files.mjs'
import { chooseFiles, prepare } from '../src/local.mjs'
import { ANY_FILE_LIMIT, READ_LIMITS, ZIP_TOTAL_LIMIT } from '../src/constants.mjs'
import { ZipError, decodeName, listZip, unpack } from '../src/zip.mjs'
import { readPng, runSite, shelfLinks, templateEdition } from './fixtures.mjs'
import { folderEntries, hostileZips, zipBytes } from './zips.mjs'

const webDir = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..')

let tmp
let edition
before(() => {
  tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'orbex-zip-'))
  edition = templateEdition(path.join(tmp, 'edition'))
})
after(() => fs.rmSync(tmp, { recursive: true, force: true }))

function write(file, data = 'x') {
  fs.mkdirSync(path.dirname(file), { recursive: true })
  fs.writeFileSync(file, data)
}

function source(bytes) {
  return {
    size: bytes.length,
    read: async (offset, length) => new Uint8Array(bytes.buffer, bytes.byteOffset + offset,
      Math.max(0, Math.min(length, bytes.length - offset))),
  }
}

// Every file of the zip as { path: text }, or the reason it is refused.
async function readZip(bytes) {
  const from = source(bytes)
  try {
    const files = {}
    for (const file of await listZip(from)) files[file.path] = Buffer.from(await unpack(from, file)).toString('latin1')
    return files
  } catch (e) {
    if (!(e instanceof ZipError)) throw e
    return e.message
  }
}

const GOOD = { 'data/orbex.dat': 'archive', 'extreme2.xm': 'module '.repeat(300) }

describe("a magazine's zip", () => {
  test('gives the files of its folder: in one top folder or none, without a Mac\'s metadata', async () => {
    const expected = { ...GOOD, 'sub dir/ok.txt': 'fine' }
    const entries = Object.entries(expected).map(([name, data]) => ({ name, data }))
    assert.deepEqual(await readZip(zipBytes(entries)), expected)
    const topped = entries.map((e) => ({ ...e, name: 'issue3/' + e.name }))
    assert.deepEqual(await readZip(zipBytes([{ name: 'issue3/', folder: true }, ...topped,
      { name: '__MACOSX/issue3/._extreme2.xm', data: 'mac' }])), expected)
    // A magazine of nothing but data/ is not taken for one inside a folder.
    assert.deepEqual(await readZip(zipBytes([{ name: 'data/orbex.dat', data: 'a' }])), { 'data/orbex.dat': 'a' })
    // Two top folders: kept as they are.
    assert.deepEqual(Object.keys(await readZip(zipBytes([...topped, { name: 'other/x', data: 'y' }]))).sort(),
      [...Object.keys(expected).map((n) => 'issue3/' + n), 'other/x'].sort())
    // A name not in UTF-8 is the zip format's old character set.
    assert.equal(decodeName(Uint8Array.from([0x41, 0x84, 0xe1])), 'Aäß')
  })

  test('the hostile ones are refused whole, each with its reason', async () => {
    for (const zip of await hostileZips(GOOD)) {
      const said = await readZip(zip.bytes)
      assert.equal(typeof said, 'string', `${zip.name} was taken`)
      assert.match(said, zip.refused, zip.name)
    }
  })

  test('and so is what a magazine never holds, or a zip made to look like something else', async () => {
    const entries = Object.entries(GOOD).map(([name, data]) => ({ name, data }))
    const cases = [
      [[{ name: '/etc/passwd', data: 'x' }], /"\/etc\/passwd", a path outside the magazine/],
      [[{ name: 'C:/autoexec.bat', data: 'x' }], /a path outside the magazine/],
      [[{ name: 'data\\orbex.dat', data: 'x' }], /a name with a backslash/],
      [[{ name: 'a//b', data: 'x' }], /no usable file name/],
      [[{ name: 'extreme2.xm', data: 'again' }], /holds "extreme2.xm" twice/],
      [[{ name: 'data/orbex.dat/x', data: 'x' }], /holds "data\/orbex.dat" as a file and a folder/],
      [[{ name: 'huge.xm', deflated: Buffer.alloc(2), size: MAX_FILE_BYTES + 1, crc: 0 }], /declares 67,108,865 bytes; the viewer reads at most 67,108,864/],
      [Array.from({ length: MAX_FILES }, (_, i) => ({ name: `f${i}`, data: '' })),
        /holds more than 4,096 entries; a magazine has fewer/],
      [Array.from({ length: 17 }, (_, i) => ({ name: `big${i}.xm`, deflated: Buffer.alloc(2), size: MAX_FILE_BYTES, crc: 0 })),
        /declare [\d,]+ bytes together, more than the 256 MiB a magazine can use/],
    ]
    for (const [extra, refused] of cases) assert.match(await readZip(zipBytes([...entries, ...extra])), refused)

    // Damaged data, a wrong CRC, a file shorter than it says.
    const good = zipBytes(entries)
    const flipped = Buffer.from(good)
    flipped[30 + 'data/orbex.dat'.length + 2] ^= 0xff // stored: the data itself
    assert.match(await readZip(flipped), /the data of "data\/orbex.dat" is damaged/)
    const short = zipBytes([...entries, { name: 'short.xm', deflated: zipBytes([]).subarray(0, 0), size: 10, crc: 0 }])
    assert.match(await readZip(short), /short\.xm/)

    // Two entries of the table of contents sharing one file's data, as the
    // zip bombs that unpack the same data many times do.
    const twice = zipBytes([...entries, { name: 'a.xm', data: 'shared' }, { name: 'b.xm', data: 'other' }])
    const directoryAt = twice.readUInt32LE(twice.length - 6)
    const third = directoryAt + 2 * 46 + 'data/orbex.dat'.length + 'extreme2.xm'.length
    const fourth = third + 46 + 'a.xm'.length
    twice.writeUInt32LE(twice.readUInt32LE(third + 42), fourth + 42)
    assert.match(await readZip(twice), /overlap, as in a zip bomb/)

    // Locked, packed some other way, split, not a zip at all, cut short.
    const locked = Buffer.from(good)
    // In the table of contents and the local header alike, which must agree.
    locked.writeUInt16LE(locked.readUInt16LE(directoryOf(locked) + 8) | 1, directoryOf(locked) + 8)
    locked.writeUInt16LE(locked.readUInt16LE(6) | 1, 6)
    assert.match(await readZip(locked), /"data\/orbex.dat" in it is encrypted/)
    const other = Buffer.from(good)
    other.writeUInt16LE(12, directoryOf(other) + 10)
    other.writeUInt16LE(12, 8)
    assert.match(await readZip(other), /compressed in a way the page cannot unpack \(method 12\)/)
    const split = Buffer.from(good)
    split.writeUInt16LE(1, split.length - 18)
    assert.match(await readZip(split), /one part of a zip split over several files/)
    assert.match(await readZip(Buffer.from('not a zip at all')), /it is no zip file/)
    assert.match(await readZip(good.subarray(0, good.length - 30)), /it is no zip file|it is broken/)
    assert.match(await readZip(good.subarray(40)), /it is broken/)
  })
})

// The zips of tests/data/zips, each with the verdict every reader gives
// (the desktop's tests read the same table).
describe('the shared table of zips', () => {
  const folder = path.join(webDir, '..', 'tests', 'data', 'zips')
  const rows = fs.readFileSync(path.join(folder, 'verdicts.tsv'), 'utf8').split('\n')
    .filter((line) => line !== '' && !line.startsWith('#')).map((line) => line.split('\t'))
  for (const [zip, verdict, what] of rows) {
    test(`${zip}: ${verdict} (${what})`, async () => {
      const from = source(fs.readFileSync(path.join(folder, zip)))
      let code = 'ok'
      try {
        for (const file of await listZip(from)) await unpack(from, file)
      } catch (e) {
        if (!(e instanceof ZipError)) throw e
        code = e.code
      }
      assert.equal(code, verdict)
    })
  }
})

describe("the desktop's read limits", () => {
  test('each file is refused past what the viewer reads of it, the zip past what a magazine holds', async () => {
    const entries = Object.entries(GOOD).map(([name, data]) => ({ name, data }))
    const declaring = (name, size) => ({ name, deflated: Buffer.alloc(2), size, crc: 0 })
    const limit = READ_LIMITS.get('data/chars.168')
    // Where a file stands decides its limit, inside a top folder too.
    assert.match(await readZip(zipBytes([...entries.map((e) => ({ ...e, name: 'issue/' + e.name })),
      declaring('issue/data/chars.168', limit + 1)])),
    /"issue\/data\/chars.168" in it declares 65,537 bytes; the viewer reads at most 65,536 of it/)
    assert.match(await readZip(zipBytes([...entries,
      ...Array.from({ length: 5 }, (_, i) => declaring(`m${i}.xm`, ANY_FILE_LIMIT))])),
    /declare [\d,]+ bytes together, more than the 256 MiB a magazine can use/)
  })
})

function directoryOf(zip) {
  return zip.readUInt32LE(zip.length - 6)
}

describe('a dropped folder', () => {
  const file = (size) => ({ size })
  test('gives its usable files in order, each left out named, within the limits', () => {
    const { files, missing, notices } = chooseFiles([
      { path: 'b.xm', file: file(10) },
      { path: 'a.xm', file: file(10) },
      { path: 'orbex.log', file: file(10) },
      { path: 'huge.xm', file: file(MAX_FILE_BYTES + 1) },
      { path: 'odd\\name', file: file(1) },
    ])
    assert.deepEqual(files.map((f) => f.path), ['a.xm', 'b.xm'])
    assert.deepEqual(missing, ['huge.xm'])
    assert.deepEqual([...notices].sort(), ['huge.xm is larger than 64 MiB and is not loaded.',
      'odd\\name is not loaded: a name with a backslash, which no magazine file has.'])
    const many = chooseFiles(Array.from({ length: MAX_FILES + 3 }, (_, i) => ({ path: `f${i}`, file: file(1) })))
    assert.equal(many.files.length, MAX_FILES)
    assert.deepEqual(many.notices, ['The magazine holds too many files: only the first 4,096 are loaded.'])
    const full = chooseFiles(Array.from({ length: 17 }, (_, i) => ({ path: `m${i}`, file: file(MAX_FILE_BYTES) })))
    assert.equal(full.files.length, 16)
    assert.deepEqual(full.missing, ['m9'])
    assert.match(full.notices[0], /^m9 is not loaded: the magazine would be larger than 1024 MiB\.$/)
  })
})

// The start picture: red, green, blue bytes; its first row red, the rest
// cut short (white).
function startPicture(rows) {
  const bytes = Buffer.alloc(640 * rows * 3)
  for (let i = 0; i < 640 * rows; ++i) bytes.set(i < 640 ? [200, 10, 20] : [i % 256, 0, 90], i * 3)
  return bytes
}

describe('a zip from the disk', () => {
  test('is kept as the files it unpacks to, never whole, and a zip larger than a magazine may be is refused', async () => {
    const bytes = zipBytes(Object.entries(GOOD).map(([name, data]) => ({ name, data })))
    const kept = await prepare({ name: 'issue.zip', zip: new Blob([bytes]) })
    assert.equal(kept.zip, undefined)
    assert.deepEqual(await Promise.all(kept.files.map(async ({ path, file }) => [path, await file.text()])),
      Object.entries(GOOD))
    // Refused before a byte of it is read.
    const huge = { size: MAX_TOTAL_BYTES + 1, slice: () => assert.fail('the zip was read') }
    await assert.rejects(prepare({ name: 'huge.zip', zip: huge }), /larger than 1024 MiB, more than a magazine may have/)
  })
})

describe('orbex-tool site with zips and several issues', () => {
  test('a zip is unpacked into the site as its folder is copied; a hostile one leaves nothing', async () => {
    const folder = path.join(tmp, 'issue1')
    for (const [name, data] of Object.entries(GOOD)) write(path.join(folder, name), data)
    write(path.join(folder, 'pic.svg'), '<svg/>')
    const zip = path.join(tmp, 'issue1.zip')
    fs.writeFileSync(zip, zipBytes(folderEntries(folder, 'issue1')))
    const site = path.join(tmp, 'from-zip')
    const out = path.join(site, 'magazine')
    const run = runSite(edition, [zip, site])
    assert.equal(run.status, 0, run.stderr)
    assert.equal(run.stderr,
      'orbex-tool site: warning: left out pic.svg: no file a magazine uses (its files, modules, text and pictures)\n')
    // The module compresses well: stored gzipped, as the list says.
    const packed = fs.readFileSync(path.join(out, 'extreme2.xm.gz'))
    assert.equal(fs.readFileSync(path.join(out, 'files.txt'), 'utf8'),
      `data/orbex.dat\t7\nextreme2.xm\t${GOOD['extreme2.xm'].length}\t${packed.length}\n`)
    assert.equal(zlib.gunzipSync(packed).toString(), GOOD['extreme2.xm'])
    assert.equal(fs.existsSync(path.join(out, 'extreme2.xm')), false)

    for (const hostile of await hostileZips(GOOD)) {
      const file = path.join(tmp, hostile.name)
      fs.writeFileSync(file, hostile.bytes)
      const refused = path.join(tmp, 'refused')
      const said = runSite(edition, [file, refused])
      assert.equal(said.status, 1, hostile.name)
      assert.match(said.stderr, new RegExp(`^orbex-tool site: error: cannot open ${file}: `), hostile.name)
      assert.equal(fs.existsSync(refused), false, `${hostile.name}: something was left`)
      fs.rmSync(file)
    }
  })

  test('a shelf: each issue in its folder, its start picture its cover, the page pointing to it', () => {
    const one = path.join(tmp, 'shelf', 'First issue')
    write(path.join(one, 'data', 'orbex.dat'), 'archive')
    write(path.join(one, 'data', 'begin.raw'), startPicture(2))
    const two = path.join(tmp, 'shelf', 'second')
    write(path.join(two, 'data', 'orbex.dat'), 'another')
    const twoZip = path.join(tmp, 'shelf', 'second.zip')
    fs.writeFileSync(twoZip, zipBytes(folderEntries(two)))
    const site = path.join(tmp, 'shelf-site')
    const run = runSite(edition, [one, twoZip, site])
    assert.equal(run.status, 0, run.stderr)
    assert.equal(fs.readFileSync(path.join(site, 'issues', 'First issue', 'data', 'orbex.dat'), 'utf8'), 'archive')
    assert.equal(fs.readFileSync(path.join(site, 'issues', 'second', 'files.txt'), 'utf8'), 'data/orbex.dat\t7\n')
    const shelf = fs.readFileSync(path.join(site, 'shelf.html'), 'utf8')
    const links = [...shelf.matchAll(/<a href="([^"]+)">([^<]+)<\/a>/g)].map((m) => [m[1], m[2]])
    assert.deepEqual(links, [['index.html?magazine=issues/First%2520issue/', 'First issue'],
      ['index.html?magazine=issues/second/', 'second']])
    // Each link leads the page to its folder, whatever the name holds: the
    // page reads its parameter, and the path its files are fetched from.
    const odd = ['First issue', 'a?b', 'c#d', '50%', 'x&y=z', 'Nr. 5 – Grüße', "it's <b>"]
    for (const name of odd) write(path.join(tmp, 'odd', name, 'data', 'orbex.dat'), name)
    const oddSite = path.join(tmp, 'odd-site')
    assert.equal(runSite(edition, [...odd.map((name) => path.join(tmp, 'odd', name)), oddSite]).status, 0)
    const hrefs = shelfLinks(oddSite)
    assert.deepEqual([...hrefs.keys()], odd)
    for (const name of odd) {
      const page = new URL(hrefs.get(name), 'https://example.org/site/')
      const folder = new URL(page.searchParams.get('magazine'), page)
      assert.equal(decodeURIComponent(folder.pathname), `/site/issues/${name}/`, name)
      assert.equal(folder.search + folder.hash, '', name)
    }
    assert.match(fs.readFileSync(path.join(site, 'index.html'), 'utf8'), /<meta name="orbex-shelf" content="shelf.html">/)
    // The shelf runs nothing: its policy allows images and its stylesheet only.
    assert.match(shelf, /<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src 'self'; style-src 'self';/)
    assert.doesNotMatch(shelf, /<script/)

    // The cover as the viewer shows the start picture: short, it ends in
    // white; missing, it is black.
    const cover = readPng(fs.readFileSync(path.join(site, 'covers', 'First issue.png')))
    assert.deepEqual([cover.width, cover.height], [640, 480])
    const want = Buffer.alloc(640 * 480 * 3, 0xff)
    startPicture(2).copy(want)
    assert.ok(cover.rgb.equals(want), 'the cover is not the start picture')
    assert.ok(readPng(fs.readFileSync(path.join(site, 'covers', 'second.png'))).rgb.equals(Buffer.alloc(640 * 480 * 3)))
  })

  test('refuses two issues of one name, and a hostile zip among them, naming it', async () => {
    const site = path.join(tmp, 'refused-shelf')
    const a = path.join(tmp, 'a', 'issue')
    const b = path.join(tmp, 'b', 'issue.zip')
    write(path.join(a, 'data', 'orbex.dat'), 'archive')
    write(b, zipBytes(folderEntries(a)))
    const twice = runSite(edition, [a, b, site])
    assert.equal(twice.status, 1)
    assert.match(twice.stderr, /two issues are named issue .*rename one/)

    const hostile = path.join(tmp, 'b', 'link.zip')
    fs.writeFileSync(hostile, (await hostileZips(GOOD)).find((z) => z.name === 'link.zip').bytes)
    const linked = runSite(edition, [a, hostile, site])
    assert.equal(linked.status, 1)
    assert.match(linked.stderr, new RegExp(`cannot open ${hostile}: .*symbolic link`))
    assert.equal(fs.existsSync(site), false, 'half a shelf was left')
  })

  test('refuses, before building anything, a site inside any of its magazines or holding one', () => {
    const dir = path.join(tmp, 'inside')
    const a = path.join(dir, 'a')
    const b = path.join(dir, 'b.zip')
    write(path.join(a, 'data', 'orbex.dat'), 'archive')
    write(b, zipBytes(folderEntries(a)))
    for (const out of [path.join(a, 'site'), dir]) {
      const run = runSite(edition, [b, a, out])
      assert.equal(run.status, 1, run.stderr)
      assert.match(run.stderr, /choose another/)
    }
    const missing = runSite(edition, [a, path.join(dir, 'gone'), path.join(tmp, 'x')])
    assert.equal(missing.status, 1)
    assert.match(missing.stderr, /cannot open .*gone/)
    assert.equal(fs.existsSync(path.join(tmp, 'x')), false)
    assert.equal(fs.existsSync(path.join(a, 'site')), false)
  })
})
