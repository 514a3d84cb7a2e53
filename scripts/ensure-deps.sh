#!/usr/bin/env bash
# The Debian packages that ORBEX 5 needs, in sets: run.sh asks for the
# first, test.sh for the first two, fuzz/run.sh for the first and the third.
# As root the missing ones are installed with apt-get; otherwise the one line
# to run is printed. Sourced by run.sh, test.sh and fuzz/run.sh.

# Building and running the viewer, its tools and the demo magazine they make.
# shellcheck disable=SC2034 # used by run.sh and test.sh
ORBEX_BUILD_PACKAGES=(g++ cmake make pkg-config libpng-dev libsdl2-dev libopenmpt-dev libcli11-dev
  libimagequant-dev libzip-dev libcpp-httplib-dev)

# The tests on top: test and benchmark libraries, a private X display driven
# by xdotool, and the validators of the installed files, the Debian package
# and the EPUB edition.
# shellcheck disable=SC2034 # used by test.sh
ORBEX_TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev libx11-dev xvfb xdotool xclip python3 debootstrap
  desktop-file-utils appstream groff-base dpkg-dev file lintian epubcheck)

# The fuzz targets on top (fuzz/run.sh): clang with libFuzzer and its sanitizers.
# shellcheck disable=SC2034 # used by fuzz/run.sh
ORBEX_FUZZ_PACKAGES=(clang-14 libfuzzer-14-dev libclang-rt-14-dev)

# Prints those of the named packages that are not installed.
orbex_missing_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

# orbex_ensure_deps PACKAGE...: installs the missing ones, or names them and
# fails.
orbex_ensure_deps() {
  command -v dpkg-query >/dev/null 2>&1 || return 0 # not Debian/Ubuntu: the user installs by hand
  local missing
  missing=$(orbex_missing_packages "$@")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: $missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing
  else
    echo "Missing packages. Run:"
    echo "  sudo apt-get install -y $missing"
    return 1
  fi
}
