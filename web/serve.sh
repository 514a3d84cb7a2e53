#!/bin/sh
# Builds the demo site and serves it: web/serve.sh [MAGAZINE_DIR] [PORT]
# Then open http://127.0.0.1:PORT/ (default port 8000). Ctrl+C stops it.
# Without MAGAZINE_DIR the sample magazine is built first where it is missing
# (the desktop build's target magazine, in build/). Served by web/tools/server.mjs
# with the headers web/README.md asks of a real host.
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
out=$root/build-web/site
port=${2:-8000}
magazine=${1:-$root/build/magazine}

if [ $# -eq 0 ] && [ ! -f "$magazine/data/orbex.dat" ]; then
    cmake -S "$root" -B "$root/build" >/dev/null
    cmake --build "$root/build" -j 2 --target magazine >/dev/null
fi
"$web/build.sh" "$magazine" "$out"
echo "web/serve.sh: http://127.0.0.1:$port/"
exec node "$web/tools/server.mjs" "$out" "$port"
