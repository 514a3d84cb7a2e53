#!/usr/bin/env bash
# Makes the regression tour's log and shots the new references, after a
# deliberate change of what the viewer shows or logs. Look at the changed
# pictures and at `git diff tests/regression` before committing them.
#   tests/regression/refresh.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
cmake --build "$build" -j 2 --target orbex magazine e2e_tests
cd "$build"
ORBEX_REFRESH_REFERENCES=1 ctest --output-on-failure -R '^RegressionTour\.'
