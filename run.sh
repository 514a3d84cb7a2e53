#!/usr/bin/env bash
# Builds ORBEX 5 if needed and shows the bundled magazine.
# Arguments go to the viewer as its command line (letters n, l, k).
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/scripts/ensure-deps.sh"
orbex_ensure_deps "${ORBEX_BUILD_PACKAGES[@]}"
# A first build leaves out the tests, whose libraries run.sh does not
# install; a folder that test.sh has set up keeps its settings.
flags=()
[ -f "$root/build/CMakeCache.txt" ] || flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBEX_TESTS=OFF -DORBEX_BENCH=OFF)
cmake -S "$root" -B "$root/build" "${flags[@]}" >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target orbex magazine
export ORBEX_MAGAZINE="${ORBEX_MAGAZINE:-$root/build/magazine}"
# On a machine with no sound card and no sound server the sound library
# cannot start and the viewer says so in three message boxes; here the music
# is played to SDL's silent driver instead, and we say that once.
if [ -z "${SDL_AUDIODRIVER:-}" ] && [ ! -e /dev/snd ] && [ -z "${PULSE_SERVER:-}" ] &&
  [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pipewire-0" ]; then
  echo "run.sh: no sound device found; the music plays silently (SDL_AUDIODRIVER=dummy)"
  export SDL_AUDIODRIVER=dummy
fi
exec "$root/build/orbex" "$@"
