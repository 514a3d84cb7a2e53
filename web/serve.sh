#!/bin/sh
# Builds the demo site and serves it: web/serve.sh [MAGAZINE_DIR] [PORT]
# Then open http://127.0.0.1:PORT/ (default port 8000). Ctrl+C stops it.
set -eu

web=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$web")
out=$root/build-web/site
port=${2:-8000}

"$web/build.sh" "${1:-$root/build/magazine}" "$out"
echo "web/serve.sh: http://127.0.0.1:$port/"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$out"
