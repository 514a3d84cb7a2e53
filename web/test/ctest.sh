#!/bin/sh
# One browser test suite for CTest: web/test/ctest.sh SUITE.test.mjs
# Exits 77 (skipped), saying which, when a tool the suite needs is missing;
# with ORBEX_WEB_REQUIRED=1 (CI) that is a failure instead.
set -eu
web=$(cd "$(dirname "$0")/.." && pwd)
chromium=${ORBEX_CHROMIUM:-/usr/bin/chromium}

skip() {
    if [ "${ORBEX_WEB_REQUIRED:-}" = 1 ]; then
        echo "failed: $1" >&2
        exit 1
    fi
    echo "skipped: $1"
    exit 77
}
command -v node >/dev/null 2>&1 || skip "node is missing: apt-get install -y nodejs"
# The site's own checks need node alone; the others build and open the page.
case $1 in site.test.mjs | zip.test.mjs) ;; *)
    command -v emcc >/dev/null 2>&1 || skip "emcc is missing: apt-get install -y emscripten"
    [ -x "$chromium" ] || skip "Chromium is missing ($chromium): apt-get install -y chromium"
    if [ ! -d "$web/node_modules/playwright-core" ] || [ ! -d "$web/node_modules/chiptune3" ]; then
        skip "chiptune3 or playwright-core is missing: (cd web && npm ci)"
    fi ;;
esac
cd "$web"
# The page's generated modules come from the build (web/tools/generated.mjs),
# for the tests and every node they start.
export NODE_OPTIONS="${NODE_OPTIONS:-} --import=$web/tools/generated.mjs"
exec node --test "test/$1"
