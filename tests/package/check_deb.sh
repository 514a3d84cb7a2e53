#!/usr/bin/env bash
# Makes the Debian package with cpack and checks its control fields, that it
# depends on the package of every library the programs link, and that it
# holds the programs, the demo magazine and the copyright notice and nothing
# of the tests, and that lintian finds no error in it.
#   check_deb.sh BUILD_DIR VERSION
# Exits 77 (skipped) where a tool is missing: cpack needs dpkg-shlibdeps
# (dpkg-dev) and file to work out the dependencies.
set -euo pipefail
build="$(cd "$1" && pwd)"
version="$2"
web_edition="${3:-OFF}"
for tool in dpkg-shlibdeps file dpkg-deb objdump; do
  command -v "$tool" >/dev/null || {
    echo "SKIP: $tool is not installed"
    exit 77
  }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  exit 1
}
debs=("$work"/orbex_"$version"_*.deb)
[ -f "${debs[0]}" ] || {
  echo "FAIL: cpack wrote no orbex_${version}_*.deb:" >&2
  ls "$work" >&2
  exit 1
}
deb="${debs[0]}"
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = orbex ] || fail "Package is \"$(field Package)\""
[ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\", not $version"
[ "$(field Section)" = misc ] || fail "Section is \"$(field Section)\""
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is \"$(field Architecture)\""
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^\>]+@[^\>]+\>$ ]] || fail "Maintainer \"$(field Maintainer)\" is no name <address>"
[ -n "$(field Description)" ] || fail "no Description"

# Every library a program needs, by the Debian package that holds it.
depends=" $(field Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
dpkg-deb -x "$deb" "$work/root"
for program in orbex orbex-tool orbex-modgen; do
  binary="$work/root/usr/bin/$program"
  [ -x "$binary" ] || {
    fail "usr/bin/$program is not in the package"
    continue
  }
  objdump -h "$binary" | grep -q '\.debug_info' && fail "usr/bin/$program is not stripped"
  ldd "$binary" >"$work/ldd.txt"
  for library in $(objdump -p "$binary" | awk '$1 == "NEEDED" { print $2 }'); do
    path=$(awk -v lib="$library" '$1 == lib && $2 == "=>" { print $3; exit }' "$work/ldd.txt")
    [[ -n "$path" && -e "$path" ]] || {
      fail "$program needs $library, which is not installed here"
      continue
    }
    # dpkg knows a library by the path its package ships, with or without
    # the /usr that merged /lib adds.
    real=$(readlink -f "$path")
    owner=""
    for candidate in "$path" "$real" "${path#/usr}" "${real#/usr}" "/usr$path" "/usr$real"; do
      owner=$(dpkg -S "$candidate" 2>/dev/null | head -n 1) && break
    done
    owner="${owner%%:*}"
    [ -n "$owner" ] || {
      fail "no Debian package holds $path"
      continue
    }
    [[ "$depends" == *" $owner "* ]] || fail "$program links $library of $owner, which Depends does not name"
  done
done

dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./||' >"$work/contents.txt"
for file in usr/share/orbex/magazine/data/orbex.dat usr/share/orbex/magazine/data/BG_8b.pcx \
  usr/share/orbex/magazine/extreme2.xm usr/share/applications/io.github.orbex5.orbex.desktop \
  usr/share/metainfo/io.github.orbex5.orbex.metainfo.xml usr/share/man/man6/orbex.6.gz usr/share/doc/orbex/copyright usr/share/doc/orbex/changelog.gz \
  usr/share/icons/hicolor/256x256/apps/orbex.png $([ "$web_edition" = ON ] && echo usr/share/orbex/web/orbex-program.wasm.gz); do
  grep -qx "$file" "$work/contents.txt" || fail "$file is not in the package"
done
if stray=$(grep -E '(test|bench|fuzz|xprobe)[^/]*$|^usr/local/|^usr/lib/' "$work/contents.txt"); then
  fail "in the package but not part of the program: $(echo "$stray" | tr '\n' ' ')"
fi

# Debian's own checks: no errors (warnings are shown, not counted).
if command -v lintian >/dev/null; then
  lintian --fail-on error --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian found errors"
  grep -v 'running with root privileges' "$work/lintian.txt" || true
  copyright="$work/root/usr/share/doc/orbex/copyright"
  head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "usr/share/doc/orbex/copyright is not in the machine-readable format"
  # Every third-party part the package or the web edition ships is named.
  for part in 'GNU Unifont' CLI11 chiptune3 libopenmpt SDL2 libpng libimagequant libzip; do
    grep -q "$part" "$copyright" || fail "the copyright file does not name $part"
  done
else
  echo "SKIP: lintian is not installed: the package's policy checks did not run"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the Debian package is fine"
