#!/bin/sh
# Builds the browser site: web/build.sh [MAGAZINE] [OUT_DIR]
#                      or: web/build.sh MAGAZINE MAGAZINE... OUT_DIR
# Builds only the web edition (what every site shares, which the package
# installs): web/build.sh --edition OUT_DIR
#
# The web edition is the page (its modules bundled into orbex-page.js,
# stored gzipped as orbex-page.js.gz), the viewer's .js and .wasm (built with
# emcmake from the same CMake lists as the desktop, -DORBEX_WEB=ON; stored
# gzipped, as .js.gz and .wasm.gz, which the page inflates), chiptune3's
# runtime, the project's licence and copyright notices, the web app manifest
# with its icons (the desktop build's, cut from the start picture), the
# shelf's style and the service worker's template. A site is that edition
# with the magazine, made by `orbex-tool site` (tools/lib/site.h), the one
# place that says what a site takes of a magazine: given two or more, a
# shelf of issues.
#
# MAGAZINE defaults to build/magazine (made by the desktop build), OUT_DIR
# to build-web/site. Needs Debian's emscripten and npm (for chiptune3 and
# esbuild, which bundles the page's modules), and the desktop build's
# orbex-tool and icons (built here when missing).
#
# Environment: ORBEX_WEB_BUILD, the CMake build folder (default build-web);
# ORBEX_TOOL, the orbex-tool to run (default build/orbex-tool, whose build
# folder gives the icons); ORBEX_WEB_PROGRAM, the program the page starts:
# orbex-program (the viewer, default), orbex-stub (the page's test fixture)
# or orbex-frame-timing (bench/web_frame_timing.cpp).
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
build=$(realpath -m "${ORBEX_WEB_BUILD:-$root/build-web}")
program=${ORBEX_WEB_PROGRAM:-orbex-program}

edition_only=
if [ "${1:-}" = --edition ]; then
    [ $# -eq 2 ] || { echo "usage: web/build.sh --edition OUT_DIR" >&2; exit 2; }
    edition_only=$2
    edition=$2
    set --
else
    case $# in
        0) set -- "$root/build/magazine" "$root/build-web/site" ;;
        1) set -- "$1" "$root/build-web/site" ;;
    esac
    edition=$build/edition-$program
fi
tool=${ORBEX_TOOL:-$root/build/orbex-tool}
native=$(dirname "$tool")
if [ ! -x "$tool" ] || [ ! -f "$native/packaging/icons/512x512/orbex.png" ]; then
    [ -f "$native/CMakeCache.txt" ] || cmake -S "$root" -B "$native" >/dev/null
    cmake --build "$native" -j 2 --target orbex-tool icons >/dev/null
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

# The edition's folder afresh: a folder given that is neither empty nor an
# edition is someone else's.
out=$edition
if [ -d "$out" ] && [ -n "$(ls -A "$out")" ] && [ ! -f "$out/orbex-page.js.gz" ]; then
    echo "web/build.sh: $out is not empty and holds no web edition: choose another folder" >&2
    exit 1
fi
rm -rf "$out"
mkdir -p "$out"
# The program stored gzipped, which the page inflates (src/program.mjs): a
# host that compresses nothing still sends little. Its script runs inline,
# allowed by its hash in the page's policy.
for f in "$program.js" "$program.wasm"; do
    gzip -9 -n -c "$build/$f" >"$out/$f.gz"
done
sha256() {
    node -e "process.stdout.write(require('crypto').createHash('sha256').update(require('fs').readFileSync(process.argv[1])).digest('base64'))" "$1"
}
program_hash=$(sha256 "$build/$program.js")
bytes=$(($(wc -c <"$out/$program.js.gz") + $(wc -c <"$out/$program.wasm.gz")))
cp "$web/orbex.css" "$web/manifest.webmanifest" "$web/shelf.css" "$web/service-worker.js" "$out/"
# The page's modules, with the key codes the build wrote, as one minified
# module, stored gzipped as the program is and run inline by index.html.
rm -rf "$build/page-src"
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

# The manifest's icons: the desktop's, cut from the start picture's "5".
mkdir -p "$out/icons"
for size in 256 512; do
    cp "$native/packaging/icons/${size}x$size/orbex.png" "$out/icons/orbex-$size.png"
done
if [ -n "$edition_only" ]; then
    echo "web/build.sh: web edition in $out"
    exit 0
fi
"$tool" site --edition "$edition" "$@"
