#!/usr/bin/env bash
# Installs the build into a temporary prefix as a user would, checks every
# installed file with the validators its format has, and runs the installed
# programs from an unrelated folder on the installed demo magazine.
#   check_install.sh BUILD_DIR VERSION [WEB_EDITION]
# WEB_EDITION ON: the web edition is installed too, and orbex-tool site makes
# a site of the installed magazine from it.
# A validator that is not installed is skipped, and named.
set -euo pipefail
build="$(cd "$1" && pwd)"
version="$2"
web_edition="${3:-OFF}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A prefix ending in usr, so that the tree can be validated as a system.
prefix="$work/root/usr"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
skip() { echo "SKIP: $1 is not installed, so $2 is not validated"; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
  cat "$work/install.log"
  exit 1
}

app=io.github.orbex5.orbex
magazine="$prefix/share/orbex/magazine"
required=(bin/orbex bin/orbex-tool bin/orbex-modgen
  "share/applications/$app.desktop" "share/metainfo/$app.metainfo.xml"
  share/man/man6/orbex.6.gz share/man/man1/orbex-tool.1.gz share/man/man1/orbex-modgen.1.gz
  share/doc/orbex/copyright share/doc/orbex/changelog.gz
  share/icons/hicolor/64x64/apps/orbex.png share/icons/hicolor/128x128/apps/orbex.png
  share/icons/hicolor/256x256/apps/orbex.png
  share/orbex/magazine/data/orbex.dat share/orbex/magazine/data/chars.168 share/orbex/magazine/data/begin.raw
  share/orbex/magazine/data/ende.pcx share/orbex/magazine/data/BG_8b.pcx share/orbex/magazine/data/cursor.pcx
  share/orbex/magazine/extreme2.xm share/orbex/magazine/modul2.xm)
if [ "$web_edition" = ON ]; then
  required+=(share/orbex/web/index.html share/orbex/web/service-worker.js share/orbex/web/orbex-page.js.gz
    share/orbex/web/orbex-program.js.gz share/orbex/web/orbex-program.wasm.gz share/orbex/web/chiptune3/chiptune3.js
    share/orbex/web/chiptune3/LICENSE share/orbex/web/LICENSE share/orbex/web/icons/orbex-512.png)
fi
for file in "${required[@]}"; do
  [ -s "$prefix/$file" ] || fail "$file is not installed"
done
for program in orbex orbex-tool orbex-modgen; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# Nothing of the tests, benchmarks or fuzzers, and nothing a run of the
# viewer left in the build's magazine.
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' | sort >"$work/installed.txt"
if stray=$(grep -E '(^|/)[^/]*(test|bench|fuzz|xprobe)[^/]*$|^bin/(.*/)?[^/]*$' "$work/installed.txt" |
  grep -vxE 'bin/(orbex|orbex-tool|orbex-modgen)'); then
  fail "installed but not part of the program: $(echo "$stray" | tr '\n' ' ')"
fi
if stray=$(grep -E '^share/orbex/magazine/(.*/)?(orbex\.cfg|orbex\.log|save\.txt)$' "$work/installed.txt"); then
  fail "files of a viewer run in the installed magazine: $(echo "$stray" | tr '\n' ' ')"
fi

# ---- Desktop entry and AppStream metadata --------------------------------------
desktop="$prefix/share/applications/$app.desktop"
metainfo="$prefix/share/metainfo/$app.metainfo.xml"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" >"$work/validate.txt" 2>&1 || true
  [ ! -s "$work/validate.txt" ] || fail "desktop-file-validate: $(cat "$work/validate.txt")"
else
  skip desktop-file-validate "the .desktop entry"
fi
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$prefix/bin/${exec_line%% *}" ] || fail "the desktop entry starts \"$exec_line\", which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -n "$icon" && -s "$prefix/share/icons/hicolor/256x256/apps/$icon.png" ]] ||
  fail "the desktop entry's icon \"$icon\" is not installed"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo" >"$work/validate.txt" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/validate.txt")"
  # The metainfo together with the desktop entry and icon it names.
  appstreamcli validate-tree --no-net --pedantic "$work/root" >"$work/validate.txt" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$work/validate.txt")"
else
  skip appstreamcli "the AppStream metainfo"
fi
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app.desktop"
grep -q "<id>$app</id>" "$metainfo" || fail "the metainfo's id is not $app"
newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$version" ] || fail "the metainfo's newest release is \"$newest\", the project's version $version"

# ---- Icons: PNG files of the size their folder names ------------------------------
for size in 64 128 256; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/orbex.png"
  [ -s "$png" ] || continue
  header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "$png is not a PNG file"
  width=$((16#${header:32:8}))
  height=$((16#${header:40:8}))
  [[ "$width" = "$size" && "$height" = "$size" ]] || fail "$png is ${width}x${height}, not ${size}x${size}"
done

# ---- Manual pages -----------------------------------------------------------------
# Installed compressed, as Debian wants them; man reads them so.
for page in man6/orbex.6 man1/orbex-tool.1 man1/orbex-modgen.1; do
  file="$prefix/share/man/$page.gz"
  [ -s "$file" ] || continue
  gzip -dc "$file" >"$work/page.roff" || fail "$page.gz is not gzip data"
  if grep -n '@[A-Z_]*@' "$work/page.roff"; then
    fail "$page has a placeholder the build did not fill in"
  fi
  if command -v groff >/dev/null; then
    groff -man -ww -z "$work/page.roff" >"$work/groff.txt" 2>&1 || true
    [ ! -s "$work/groff.txt" ] || fail "groff -man -ww -z $page: $(cat "$work/groff.txt")"
  else
    skip groff "$page"
  fi
  if command -v man >/dev/null; then
    MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.txt" >/dev/null || true
    [ ! -s "$work/man.txt" ] || fail "man --warnings $page: $(cat "$work/man.txt")"
  else
    skip man "$page (man --warnings)"
  fi
done
# Every command that the installed orbex-tool offers has its section.
tool_page="$work/orbex-tool.1"
gzip -dc "$prefix/share/man/man1/orbex-tool.1.gz" >"$tool_page" || true
"$prefix/bin/orbex-tool" --help >"$work/help.txt" 2>&1 || true
commands=$(awk '/^Subcommands:/ { listed = 1; next }
  listed && /^[^ ]/ { listed = 0 }
  listed && $1 ~ /^[a-z][a-z-]*$/ { print $1 }
  $1 == "orbex-tool" && $2 ~ /^[a-z][a-z-]*$/ { print $2 }' "$work/help.txt" | sort -u)
[ -n "$commands" ] || fail "no commands found in orbex-tool --help: $(cat "$work/help.txt")"
for command in $commands; do
  grep -q "^\.SS \"${command}[ \"]" "$tool_page" || fail "orbex-tool $command has no section in orbex-tool.1"
done

# ---- The installed programs, run from an unrelated folder ---------------------------
run="$work/elsewhere"
mkdir -p "$run"
cd "$run"
clean_env=(env -i PATH=/usr/bin:/bin HOME="$run" XDG_STATE_HOME="$run/state"
  ${ASAN_OPTIONS:+ASAN_OPTIONS="$ASAN_OPTIONS"} ${UBSAN_OPTIONS:+UBSAN_OPTIONS="$UBSAN_OPTIONS"})

"${clean_env[@]}" "$prefix/bin/orbex-tool" check "$magazine" >"$work/check.txt" 2>&1 ||
  fail "orbex-tool check on the installed magazine: $(cat "$work/check.txt")"
if [ "$web_edition" = ON ]; then
  # The installed edition, found beside the installed program.
  "${clean_env[@]}" "$prefix/bin/orbex-tool" site "$magazine" "$work/site" >"$work/site.txt" 2>&1 ||
    fail "orbex-tool site on the installed magazine: $(cat "$work/site.txt")"
  for file in index.html orbex-program.wasm.gz service-worker.js magazine/files.txt magazine/data/begin.raw.gz; do
    [ -s "$work/site/$file" ] || fail "orbex-tool site wrote no $file"
  done
fi
"${clean_env[@]}" "$prefix/bin/orbex-modgen" "$run/try.xm" 0 || fail "orbex-modgen could not write a module"
[ -s "$run/try.xm" ] || fail "orbex-modgen wrote nothing"

# The start picture, the contents page under the pointer, and the end; the
# same run of the build's own viewer on a copy of the build's magazine must
# show the same frames and write the same log.
tour() {
  cat <<END
frames 3
shot $1/intro.png
frames 320
move 100 356
frames 6
shot $1/contents.png
key F12
frames 120
END
}
headless() { # OUT_DIR MAGAZINE ORBEX
  mkdir -p "$1"
  tour "$1" >"$1/tour.txt"
  local status=0
  "${clean_env[@]}" ORBEX_VIDEO=headless ORBEX_CLOCK=step:20 ORBEX_SCRIPT="$1/tour.txt" ORBEX_MAGAZINE="$2" \
    "$3" l >"$1/stdout.txt" 2>"$1/stderr.txt" || status=$?
  [ "$status" = 0 ] || fail "$3 exited with status $status: $(cat "$1/stderr.txt")"
  [ ! -s "$1/stderr.txt" ] || fail "$3 reported: $(cat "$1/stderr.txt")"
}
headless "$run/installed" "$magazine" "$prefix/bin/orbex"

reference="$work/reference-magazine"
mkdir -p "$reference/data"
for file in data/orbex.dat data/chars.168 data/begin.raw data/ende.pcx data/BG_8b.pcx data/cursor.pcx extreme2.xm \
  modul2.xm; do
  cp "$build/magazine/$file" "$reference/$file"
done
headless "$run/build" "$reference" "$build/orbex"

for shot in intro.png contents.png; do
  if [ ! -s "$run/installed/$shot" ]; then
    fail "the installed viewer wrote no $shot"
    continue
  fi
  header=$(od -An -tx1 -N24 "$run/installed/$shot" | tr -d ' \n')
  [ "$((16#${header:32:8}))x$((16#${header:40:8}))" = 640x480 ] || fail "$shot is not 640x480"
  cmp -s "$run/installed/$shot" "$run/build/$shot" ||
    fail "$shot of the installed viewer differs from the build's"
done
cmp -s "$run/installed/intro.png" "$run/installed/contents.png" && fail "the start picture never gave way"
# The installed magazine is the package manager's: its log goes to the
# reader's state folder, and nothing is written into the magazine itself.
state_log="$run/state/orbex/magazine/orbex.log"
if [ ! -s "$state_log" ]; then
  fail "the installed viewer wrote no orbex.log into the state folder"
else
  tr -d '\r' <"$state_log" | grep -qx "Version $version" || fail "orbex.log does not name version $version"
  cmp -s "$state_log" "$reference/orbex.log" || fail "orbex.log of the installed viewer differs from the build's"
fi
for file in orbex.log orbex.cfg save.txt; do
  [ ! -e "$magazine/$file" ] || fail "the installed viewer wrote $file into the installed magazine"
done
find "$run" -mindepth 1 -maxdepth 1 -printf '%f\n' | grep -vxE 'installed|build|state|try\.xm' >"$work/left.txt" || true
[ ! -s "$work/left.txt" ] || fail "the viewer wrote into the folder it was started in: $(cat "$work/left.txt")"

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed files and programs are fine"
