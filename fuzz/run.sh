#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in build-fuzz/ and runs each, one
# after the other, for SECONDS on a scratch copy of its seed corpus in
# fuzz/corpus/<target>/ (the repository's corpus stays as committed). Fails
# on any finding: a crash, a leak, a timeout or running out of memory; the
# input that did it is kept in build-fuzz/findings/<target>/. The text
# readers take inputs of up to 1 MiB from the start, so that a cost that
# grows faster than its input shows up as a timeout.
#   fuzz/run.sh 300               every target for five minutes
#   fuzz/run.sh 60 fuzz_archive   only the targets named
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  sed -n '2,11s/^# \{0,1\}//p' "$0"
  exit 2
fi
seconds="$1"
shift

source "$root/scripts/ensure-deps.sh"
orbex_ensure_deps "${ORBEX_BUILD_PACKAGES[@]}" "${ORBEX_FUZZ_PACKAGES[@]}"

build="$root/build-fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBEX_FUZZ=ON \
  -DORBEX_TESTS=OFF -DORBEX_BENCH=OFF -DORBEX_WERROR=OFF >/dev/null
cmake --build "$build" --target fuzz -j 2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

# Readers of text, whose files may be as long as the archive's 1 MiB.
text_readers=" fuzz_archive fuzz_tool_articles fuzz_tool_font fuzz_tool_unpack fuzz_script fuzz_user_dirs "

scratch="$(mktemp -d /tmp/orbex-fuzz-run-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
failed=()
for target in "${targets[@]}"; do
  binary="$build/fuzz/$target"
  if [ ! -x "$binary" ] || [ ! -d "$root/fuzz/corpus/$target" ]; then
    echo "$target: no such fuzz target or corpus" >&2
    failed+=("$target")
    continue
  fi
  corpus="$scratch/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  cp -R "$root/fuzz/corpus/$target/." "$corpus/"
  log="$scratch/$target.log"
  seeds=$(find "$corpus" -type f | wc -l)
  # One process; the viewer's message boxes on standard error are dropped
  # (-close_fd_mask=2), libFuzzer's own report is not.
  lengths=()
  if [[ "$text_readers" == *" $target "* ]]; then
    lengths=(-max_len=1048576 -len_control=0)
  fi
  status=0
  "$binary" "${lengths[@]}" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -malloc_limit_mb=2048 -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  taken=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$log" | tail -n 1)
  echo "$target: ${runs:-?} runs in ${taken:-$seconds} s, corpus $seeds seeds, $(find "$corpus" -type f | wc -l) after"
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    tail -n 60 "$log"
    for input in "$findings"/*; do
      [ -f "$input" ] && echo "$target: finding $input; see it again with: $binary $input"
    done
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets without a finding"
