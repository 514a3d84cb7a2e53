#!/bin/bash
# CPU use of orbex showing a page in a 640x480 window on a private Xvfb
# display, beside the bare present loop of bench/sdl_present_baseline.
#   measure_cpu.sh ORBEX WINDOW_MAGAZINE BASELINE [SECONDS]
# (WINDOW_MAGAZINE: the build's tests/xvfb/window_magazine)
# Extra arguments for the baseline (--paced) come from BASELINE_ARGS.
set -u
ORBEX=$(realpath "$1")
MAKE_MAGAZINE=$(realpath "$2")
BASELINE=$(realpath "$3")
SECONDS_RUN=${4:-10}

WORK=$(mktemp -d)
trap 'kill -9 $ORBEX_PID 2>/dev/null; kill $XVFB_PID 2>/dev/null; wait 2>/dev/null; rm -rf "$WORK"' EXIT
ORBEX_PID=
exec 3>"$WORK/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$WORK/displayfd" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$WORK/displayfd")"

# Clock ticks of user and system time of a process.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

"$MAKE_MAGAZINE" "$WORK/mag" 1
(cd "$WORK/mag" && ORBEX_VIDEO=window ORBEX_SCALE=1 exec "$ORBEX" n >/dev/null 2>&1) &
ORBEX_PID=$!
WID=$(timeout 10 xdotool search --sync --onlyvisible --name "ORBEX 5" | head -n1)
eval "$(xdotool getwindowgeometry --shell "$WID")"
sleep 1.5
xdotool mousemove $((X + 320)) $((Y + 100)) mousedown 1 sleep 0.2 mouseup 1
sleep 1
t0=$(ticks "$ORBEX_PID")
sleep "$SECONDS_RUN"
t1=$(ticks "$ORBEX_PID")
orbex_cpu=$(echo "scale=2; ($t1 - $t0) / $hz" | bc)
kill "$ORBEX_PID"
wait "$ORBEX_PID" 2>/dev/null
ORBEX_PID=

line=$("$BASELINE" "$SECONDS_RUN" ${BASELINE_ARGS:-})
base_cpu=$(echo "$line" | sed -n 's/.*CPU \([0-9.]*\) s.*/\1/p')
echo "orbex:    CPU $orbex_cpu s in $SECONDS_RUN s"
echo "baseline: $line"
echo "ratio:    $(echo "scale=2; $orbex_cpu / $base_cpu" | bc)"
