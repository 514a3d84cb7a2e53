#!/usr/bin/env bash
# Builds ORBEX 5 with warnings as errors and runs every test.
#   ./test.sh                  the normal build in build/
#   ./test.sh --sanitize       the same under AddressSanitizer and UBSan in build-asan/
#   ./test.sh -R Regression    any other argument goes to ctest
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"

sanitize=0
ctest_args=()
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    -h | --help)
      sed -n '2,5s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *) ctest_args+=("$arg") ;;
  esac
done

source "$root/scripts/ensure-deps.sh"
orbex_ensure_deps "${ORBEX_BUILD_PACKAGES[@]}" "${ORBEX_TEST_PACKAGES[@]}"

build="$root/build"
# Tests and benchmarks on, also in a folder that run.sh set up without them.
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBEX_WERROR=ON -DORBEX_SANITIZE=OFF -DORBEX_TESTS=ON -DORBEX_BENCH=ON)
if [ "$sanitize" = 1 ]; then
  build="$root/build-asan"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DORBEX_WERROR=ON -DORBEX_SANITIZE=ON -DORBEX_TESTS=ON -DORBEX_BENCH=OFF
    -DORBEX_WEB_EDITION=OFF)
  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
fi
cmake -S "$root" -B "$build" "${flags[@]}"
cmake --build "$build" -j "$(nproc)"
cd "$build"
ctest --output-on-failure -j "$(nproc)" "${ctest_args[@]}"
