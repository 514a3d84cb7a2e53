#!/usr/bin/env bash
# Builds ORBEX 5 with warnings as errors and runs every test.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  the same under AddressSanitizer and UBSan in build-asan/
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
source "$root/scripts/ensure-deps.sh"
orbex_ensure_deps

build="$root/build"
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBEX_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DORBEX_WERROR=ON -DORBEX_SANITIZE=ON -DORBEX_BENCH=OFF)
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
fi
cmake -S "$root" -B "$build" "${flags[@]}"
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
