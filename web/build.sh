#!/bin/sh
# Builds the browser site: web/build.sh [MAGAZINE_DIR] [OUT_DIR]
#
# The program is, for now, the test stub (web/stub/stub.cpp). OUT_DIR gets
# the page, its scripts, the program's .js and .wasm, chiptune3's runtime and
# a copy of the magazine in OUT_DIR/magazine/ with a files.txt listing it
# (the magazine's own files.txt is kept when it has one).
#
# MAGAZINE_DIR defaults to build/magazine (made by the desktop build), OUT_DIR
# to build-web/site. Needs Debian's emscripten and npm (for chiptune3).
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
magazine=${1:-$root/build/magazine}
out=${2:-$root/build-web/site}

if ! command -v emcc >/dev/null 2>&1; then
    echo "web/build.sh: emcc is missing: apt-get install -y emscripten" >&2
    exit 1
fi
# Debian's emscripten runs its optimizer on Debian's own acorn.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

if [ ! -f "$web/node_modules/chiptune3/chiptune3.js" ]; then
    (cd "$web" && npm ci --no-audit --no-fund)
fi

mkdir -p "$out"
# Asyncify must know every import that suspends the program.
emcc -O2 -std=c++20 -Wall -Wextra -I"$web" "$web/stub/stub.cpp" \
    -o "$out/orbex-program.js" \
    --js-library "$web/library_orbex.js" \
    -sASYNCIFY=1 \
    '-sASYNCIFY_IMPORTS=["orbex_wait_frame","orbex_wait_event","orbex_message_box","orbex_music_load"]' \
    -sEXIT_RUNTIME=1 \
    -sALLOW_MEMORY_GROWTH=1 \
    -sENVIRONMENT=web \
    '-sEXPORTED_RUNTIME_METHODS=["FS","ENV","addRunDependency","removeRunDependency"]'

cp "$web/index.html" "$web/orbex.js" "$web/orbex.css" "$out/"
mkdir -p "$out/chiptune3"
for f in chiptune3.js chiptune3.worklet.js libopenmpt.worklet.js LICENSE; do
    cp "$web/node_modules/chiptune3/$f" "$out/chiptune3/"
done

rm -rf "$out/magazine"
mkdir -p "$out/magazine"
if [ -d "$magazine" ]; then
    cp -R "$magazine/." "$out/magazine/"
    if [ ! -f "$out/magazine/files.txt" ]; then
        (cd "$out/magazine" && find . -type f ! -name files.txt | sed 's|^\./||' | LC_ALL=C sort >files.txt)
    fi
else
    echo "web/build.sh: no magazine at $magazine; the site has an empty one" >&2
    : >"$out/magazine/files.txt"
fi
echo "web/build.sh: site in $out"
