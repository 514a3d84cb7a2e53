#!/bin/sh
# Builds the browser site: web/build.sh [MAGAZINE_DIR] [OUT_DIR]
#
# OUT_DIR gets the page, its scripts, the viewer's .js and .wasm (built with
# emcmake from the same CMake lists as the desktop, -DORBEX_WEB=ON),
# chiptune3's runtime, the web app manifest with its icons, the service
# worker that keeps all of it offline (web/offline-site.mjs) and a copy of
# the magazine in OUT_DIR/magazine/ with a files.txt listing what was copied (web/copy-magazine.mjs: folders and
# regular files only, no links, nothing a browser would run as a page; each
# file left out is named). OUT_DIR may neither be the magazine nor hold it,
# nor lie inside it.
#
# MAGAZINE_DIR defaults to build/magazine (made by the desktop build), OUT_DIR
# to build-web/site. Needs Debian's emscripten and npm (for chiptune3).
#
# Environment: ORBEX_WEB_BUILD, the CMake build folder (default build-web);
# ORBEX_WEB_PROGRAM, the program the page starts: orbex-program (the
# viewer, default), orbex-stub (the page's test fixture) or
# orbex-frame-timing (bench/web_frame_timing.cpp).
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
magazine=${1:-$root/build/magazine}
out=${2:-$root/build-web/site}
build=${ORBEX_WEB_BUILD:-$root/build-web}
program=${ORBEX_WEB_PROGRAM:-orbex-program}

# The site's magazine/ is emptied first: it must not be the magazine or
# hold it, and the site must not be copied into the magazine itself.
if [ -e "$magazine" ]; then
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
fi

if ! command -v emcc >/dev/null 2>&1; then
    echo "web/build.sh: emcc is missing: apt-get install -y emscripten" >&2
    exit 1
fi
# Debian's emscripten runs its optimizer on Debian's own acorn.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

if [ ! -f "$web/node_modules/chiptune3/chiptune3.js" ]; then
    (cd "$web" && npm ci --no-audit --no-fund)
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    emcmake cmake -S "$root" -B "$build" -DORBEX_WEB=ON -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
# The program, and the page's key codes written from the viewer's key table.
cmake --build "$build" -j 2 --target "$program" orbex-keys >/dev/null

mkdir -p "$out"
cp "$build/$program.js" "$build/$program.wasm" "$out/"
cp "$web/orbex.css" "$web/manifest.webmanifest" "$out/"
rm -rf "$out/src"
mkdir -p "$out/src"
cp "$web/src/"*.mjs "$build/keys.mjs" "$out/src/"
sed "s/orbex-program\./$program./g" "$web/index.html" >"$out/index.html"
mkdir -p "$out/chiptune3"
for f in chiptune3.js chiptune3.worklet.js LICENSE; do
    cp "$web/node_modules/chiptune3/$f" "$out/chiptune3/"
done
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

rm -rf "$out/magazine"
if [ -d "$magazine" ]; then
    node "$web/copy-magazine.mjs" "$magazine" "$out/magazine"
else
    echo "web/build.sh: no magazine at $magazine; the site has an empty one" >&2
    mkdir -p "$out/magazine"
    : >"$out/magazine/files.txt"
fi
# Last: the service worker's version is a hash of everything else.
node "$web/offline-site.mjs" "$out"
echo "web/build.sh: site in $out"
