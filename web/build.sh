#!/bin/sh
# Builds the browser site: web/build.sh [MAGAZINE] [OUT_DIR]
#                      or: web/build.sh MAGAZINE MAGAZINE... OUT_DIR
#
# OUT_DIR gets the page (its modules bundled into orbex-page.js, stored
# gzipped as orbex-page.js.gz), the viewer's .js and .wasm (built with
# emcmake from the same CMake lists as the desktop, -DORBEX_WEB=ON; stored
# gzipped, as .js.gz and .wasm.gz, which the page inflates),
# chiptune3's runtime, the project's licence and copyright notices, the web
# app manifest with its icons, the service worker that keeps all of it
# offline (web/tools/offline-site.mjs), and a
# copy of the magazine in OUT_DIR/magazine/ with a files.txt listing what
# was copied (web/tools/copy-magazine.mjs: folders and regular files only, no
# links, nothing a browser would run as a page; each file left out is
# named). A MAGAZINE is a folder or a zip file (unpacked here, as the page
# reads one: src/zip.mjs). Given two or more, the site is a shelf of issues
# sharing the program (web/tools/shelf.mjs): each in OUT_DIR/issues/NAME/, with
# its start picture as its cover on OUT_DIR/shelf.html. OUT_DIR may neither
# be a magazine nor hold one, nor lie inside one.
#
# MAGAZINE defaults to build/magazine (made by the desktop build), OUT_DIR
# to build-web/site. Needs Debian's emscripten and npm (for chiptune3 and
# esbuild, which bundles the page's modules).
#
# Environment: ORBEX_WEB_BUILD, the CMake build folder (default build-web);
# ORBEX_WEB_PROGRAM, the program the page starts: orbex-program (the
# viewer, default), orbex-stub (the page's test fixture) or
# orbex-frame-timing (bench/web_frame_timing.cpp).
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
build=${ORBEX_WEB_BUILD:-$root/build-web}
program=${ORBEX_WEB_PROGRAM:-orbex-program}

case $# in
    0) set -- "$root/build/magazine" "$root/build-web/site" ;;
    1) set -- "$1" "$root/build-web/site" ;;
esac
# The last argument is the site; the others, left in "$@", are magazines.
count=$#
i=0
for arg in "$@"; do
    shift
    i=$((i + 1))
    if [ "$i" -eq "$count" ]; then out=$arg; else set -- "$@" "$arg"; fi
done

# The site's magazines are emptied first: the site must not be a magazine or
# hold one, and must not be copied into a magazine itself.
for magazine in "$@"; do
    [ -e "$magazine" ] || continue
    m=$(realpath -e "$magazine")
    o=$(realpath -m "$out")
    case "$o/" in "$m/"*)
        echo "web/build.sh: the site folder $out is the magazine $magazine or lies inside it: choose another" >&2
        exit 1 ;;
    esac
    case "$m/" in "$o/"*)
        echo "web/build.sh: the site folder $out holds the magazine $magazine: choose another" >&2
        exit 1 ;;
    esac
done
if [ $# -gt 1 ]; then
    for magazine in "$@"; do
        if [ ! -e "$magazine" ]; then
            echo "web/build.sh: no magazine at $magazine" >&2
            exit 1
        fi
    done
fi

if ! command -v emcc >/dev/null 2>&1; then
    echo "web/build.sh: emcc is missing: apt-get install -y emscripten" >&2
    exit 1
fi
# Debian's emscripten runs its optimizer on Debian's own acorn.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

if [ ! -f "$web/node_modules/chiptune3/chiptune3.js" ] || [ ! -x "$web/node_modules/.bin/esbuild" ]; then
    (cd "$web" && npm ci --no-audit --no-fund)
fi

# Configured each time (quick when nothing changed): a target the lists
# gained since the last build is otherwise unknown to the old makefiles.
if [ ! -f "$build/CMakeCache.txt" ]; then
    emcmake cmake -S "$root" -B "$build" -DORBEX_WEB=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
else
    cmake "$build" >/dev/null
fi
# The program, and the page's key codes written from the viewer's key table.
cmake --build "$build" -j 2 --target "$program" orbex-page-modules >/dev/null
# The tools read the page's modules, the generated ones from the build.
export ORBEX_PAGE_MODULES="$build"
tool() {
    node --import "$web/tools/generated.mjs" "$@"
}

mkdir -p "$out"
# The program stored gzipped, which the page inflates (src/program.mjs): a
# host that compresses nothing still sends little. Its script runs inline,
# allowed by its hash in the page's policy.
rm -f "$out/$program.js" "$out/$program.wasm"
for f in "$program.js" "$program.wasm"; do
    gzip -9 -n -c "$build/$f" >"$out/$f.gz"
done
sha256() {
    node -e "process.stdout.write(require('crypto').createHash('sha256').update(require('fs').readFileSync(process.argv[1])).digest('base64'))" "$1"
}
program_hash=$(sha256 "$build/$program.js")
bytes=$(($(wc -c <"$out/$program.js.gz") + $(wc -c <"$out/$program.wasm.gz")))
cp "$web/orbex.css" "$web/manifest.webmanifest" "$out/"
# The page's modules, with the key codes the build wrote, as one minified
# module, stored gzipped as the program is and run inline by index.html.
rm -rf "$out/src" "$build/page-src"
mkdir -p "$build/page-src"
cp "$web/src/"*.mjs "$build/keys.mjs" "$build/constants.mjs" "$build/page-src/"
"$web/node_modules/.bin/esbuild" "$build/page-src/main.mjs" --bundle --format=esm --minify --target=es2022 \
    --log-level=warning --outfile="$build/orbex-page.js"
gzip -9 -n -c "$build/orbex-page.js" >"$out/orbex-page.js.gz"
page_hash=$(sha256 "$build/orbex-page.js")
# The files the viewer's start reads, which the page's head asks for first.
start_files=$(node --input-type=module -e "import('$build/constants.mjs').then((m) => process.stdout.write(m.START_FILES.join(' ')))")
sed -e "s/orbex-program\./$program./g" -e "s|@PROGRAM_HASH@|sha256-$program_hash|" \
    -e "s|@PAGE_HASH@|sha256-$page_hash|" -e "s|@PROGRAM_BYTES@|$bytes|" -e "s|@START_FILES@|$start_files|" \
    "$web/index.html" >"$out/index.html"
mkdir -p "$out/chiptune3"
for f in chiptune3.js chiptune3.worklet.js LICENSE; do
    cp "$web/node_modules/chiptune3/$f" "$out/chiptune3/"
done
# The notices of what the site ships: the project's licence and the
# copyright of each part (chiptune3's own licence beside it).
cp "$root/LICENSE" "$out/LICENSE"
cp "$root/packaging/copyright" "$out/copyright"
# The worklet's own base64 decoder takes most of a second before the first
# module can load; web/worklet-atob.js takes its place (kept as it is where
# the file does not start as chiptune3 0.8.4's does).
node - "$web/node_modules/chiptune3/libopenmpt.worklet.js" "$web/worklet-atob.js" \
    >"$out/chiptune3/libopenmpt.worklet.js" <<'END'
const fs = require('fs')
const [worklet, atob] = process.argv.slice(2).map((f) => fs.readFileSync(f, 'utf8'))
const end = worklet.indexOf('}const performance=')
if (worklet.startsWith('function atob(') && end > 0) {
  process.stdout.write(atob + worklet.slice(end + 1))
} else {
  console.error('web/build.sh: chiptune3 has another worklet; its base64 decoder is kept')
  process.stdout.write(worklet)
}
END

rm -rf "$out/magazine" "$out/issues" "$out/covers" "$out/shelf.html" "$out/shelf.css"
if [ $# -gt 1 ]; then
    tool "$web/tools/shelf.mjs" "$out" "$@"
elif [ -e "$1" ]; then
    tool "$web/tools/copy-magazine.mjs" "$1" "$out/magazine"
    # The page asks for the start files of the site's own magazine at once,
    # as they are stored, without waiting for its list.
    node - "$out/index.html" "$out/magazine/files.txt" <<'END'
const fs = require('fs')
const [page, list] = process.argv.slice(2)
const html = fs.readFileSync(page, 'utf8')
const start = /<meta name="orbex-start-files" content="([^"]*)">/.exec(html)[1].split(' ')
const stored = new Map(fs.readFileSync(list, 'utf8').split('\n').map((line) => line.split('\t'))
  .map(([name, , packed]) => [name, packed === undefined ? name : name + '.gz']))
const names = start.filter((name) => stored.has(name)).map((name) => stored.get(name).split('/').map(encodeURIComponent).join('/'))
fs.writeFileSync(page, html.replace('<meta name="orbex-site-start" content="">',
  `<meta name="orbex-site-start" content="${names.join(' ')}">`))
END
else
    echo "web/build.sh: no magazine at $1; the site has an empty one" >&2
    mkdir -p "$out/magazine"
    : >"$out/magazine/files.txt"
fi
# Last: the service worker's version is a hash of everything else.
tool "$web/tools/offline-site.mjs" "$out"
echo "web/build.sh: site in $out"
