#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 and shows the demo
# magazine there: a manual check (root, network to a Debian mirror), not
# part of ctest.
#   tests/package/check_debian12.sh [BUILD_DIR] [ROOT]
# ROOT (default /var/tmp/orbex-bookworm) is made with debootstrap
# --variant=minbase when missing, which takes a few minutes; afterwards the
# package and what it brought are purged again, so ROOT can be used again.
set -euo pipefail
root_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root_dir/build}" && pwd)"
chroot_dir="${2:-/var/tmp/orbex-bookworm}"
[ "$(id -u)" = 0 ] || {
  echo "check_debian12.sh: run as root (debootstrap, mount, chroot)" >&2
  exit 1
}
command -v debootstrap >/dev/null || {
  echo "check_debian12.sh: apt-get install debootstrap" >&2
  exit 1
}

if [ ! -x "$chroot_dir/usr/bin/apt-get" ]; then
  mkdir -p "$chroot_dir"
  debootstrap --variant=minbase bookworm "$chroot_dir" http://deb.debian.org/debian
fi
out="$(mktemp -d)"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/orbex_*.deb)
cp "$deb" "$chroot_dir/root/"
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"

in_root() { chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
cleanup() {
  in_root sh -c 'apt-get purge -y -qq orbex && apt-get autoremove -y -qq --purge' >/dev/null 2>&1 || true
  rm -rf "$chroot_dir/root/$(basename "$deb")" "$chroot_dir/tmp/orbex-check" "$out"
  umount "$chroot_dir/dev" 2>/dev/null || true
  umount "$chroot_dir/proc" 2>/dev/null || true
}
trap cleanup EXIT
mount -t proc proc "$chroot_dir/proc"
mount --bind /dev "$chroot_dir/dev"

in_root sh -c "apt-get update -qq && apt-get install -y --no-install-recommends /root/$(basename "$deb")"

# The demo magazine, headless, from an unrelated folder, as an ordinary user
# (nobody) for whom the installed magazine is read-only.
mkdir -p "$chroot_dir/tmp/orbex-check"
chmod 777 "$chroot_dir/tmp/orbex-check"
cat >"$chroot_dir/tmp/orbex-check/tour.txt" <<END
frames 3
shot /tmp/orbex-check/intro.png
frames 320
move 100 356
frames 6
shot /tmp/orbex-check/contents.png
key F12
frames 120
END
in_root setpriv --reuid=65534 --regid=65534 --clear-groups sh -c \
  'cd /tmp/orbex-check && HOME=/tmp/orbex-check ORBEX_VIDEO=headless ORBEX_CLOCK=step:20 \
   ORBEX_SCRIPT=/tmp/orbex-check/tour.txt ORBEX_MAGAZINE=/usr/share/orbex/magazine orbex' \
  2>"$out/stderr.txt" || {
  echo "FAIL: orbex exited with status $?: $(cat "$out/stderr.txt")" >&2
  exit 1
}
[ ! -s "$out/stderr.txt" ] || {
  echo "FAIL: orbex reported: $(cat "$out/stderr.txt")" >&2
  exit 1
}
for shot in intro contents; do
  [ -s "$chroot_dir/tmp/orbex-check/$shot.png" ] || {
    echo "FAIL: no $shot.png" >&2
    exit 1
  }
  cp "$chroot_dir/tmp/orbex-check/$shot.png" "$build/debian12-$shot.png"
done
in_root orbex-tool check /usr/share/orbex/magazine

# A maker's first issue as a site, as the ordinary user: orbex-tool new, then
# orbex-tool site from the installed web edition. The native viewer's first
# page of it, and Chromium's (on this machine, from web/test/run-site.mjs)
# of the site, must be the same pixels.
in_root setpriv --reuid=65534 --regid=65534 --clear-groups sh -c \
  'cd /tmp/orbex-check && HOME=/tmp/orbex-check orbex-tool new first && orbex-tool site first site' \
  >"$out/site.txt" 2>&1 || {
  echo "FAIL: orbex-tool new and site: $(cat "$out/site.txt")" >&2
  exit 1
}
sed -e 's|/tmp/orbex-check/|/tmp/orbex-check/native-|' "$chroot_dir/tmp/orbex-check/tour.txt" |
  grep -v '^key F12' >"$chroot_dir/tmp/orbex-check/native.txt"
in_root setpriv --reuid=65534 --regid=65534 --clear-groups sh -c \
  'cd /tmp/orbex-check && HOME=/tmp/orbex-check ORBEX_VIDEO=headless ORBEX_CLOCK=step:20 \
   ORBEX_SCRIPT=/tmp/orbex-check/native.txt ORBEX_MAGAZINE=/tmp/orbex-check/first orbex' 2>"$out/stderr.txt" || true
sed -e 's|shot /tmp/orbex-check/|shot |' -e '/^key F12/d' "$chroot_dir/tmp/orbex-check/tour.txt" >"$out/web.txt"
node "$root_dir/web/test/run-site.mjs" "$chroot_dir/tmp/orbex-check/site" "$out/web" --query 'clock=step:20' \
  --script "$out/web.txt" --timeout 180 >"$out/run.txt" 2>&1 || true
sed "s|@READ_PNG@|$root_dir/web/tools/read-png.mjs|" >"$out/compare.mjs" <<'END'
import fs from 'node:fs'
import { readPng } from '@READ_PNG@'
const [native, web] = process.argv.slice(2)
for (const shot of ['intro.png', 'contents.png']) {
  const a = readPng(fs.readFileSync(`${native}/native-${shot}`))
  const b = readPng(fs.readFileSync(`${web}/${shot}`))
  if (!a.rgb.equals(b.rgb)) { console.error(`FAIL: Chromium's ${shot} of the site differs from the viewer's`); process.exit(1) }
}
END
node "$out/compare.mjs" "$chroot_dir/tmp/orbex-check" "$out/web/shots" || exit 1
cp "$out/web/shots/contents.png" "$build/debian12-site-contents.png"
echo "Debian 12: $(basename "$deb") installs and shows the demo magazine" \
  "(shots in $build/debian12-intro.png and debian12-contents.png); a new issue's site shows its first page" \
  "in Chromium as the viewer does ($build/debian12-site-contents.png)"
