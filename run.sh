#!/usr/bin/env bash
# Builds ORBEX 5 if needed and shows the bundled magazine.
# Arguments go to the viewer as its command line (letters n, l, k).
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/scripts/ensure-deps.sh"
orbex_ensure_deps
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target orbex magazine
export ORBEX_MAGAZINE="${ORBEX_MAGAZINE:-$root/build/magazine}"
exec "$root/build/orbex" "$@"
