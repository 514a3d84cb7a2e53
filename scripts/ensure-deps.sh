#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the viewer need.
# As root it runs apt-get; otherwise it prints the one line to run.
# Sourced by run.sh and test.sh.

ORBEX_PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
  libsdl2-dev libopenmpt-dev libcli11-dev libimagequant-dev libx11-dev xvfb xdotool python3)

orbex_missing_packages() {
  local missing=() p
  for p in "${ORBEX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  echo "${missing[@]}"
}

orbex_ensure_deps() {
  command -v dpkg-query >/dev/null 2>&1 || return 0 # not Debian/Ubuntu: the user installs by hand
  local missing
  missing=$(orbex_missing_packages)
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
