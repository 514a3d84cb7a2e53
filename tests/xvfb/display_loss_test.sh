#!/bin/bash
# The X server ends under the viewer: on the start picture in a window, on
# an article full screen with the music playing, and while the window is
# minimized (the viewer waiting for input, using no CPU). Each time the
# viewer must end by itself at once, with status 1, a line saying why, and
# the log's last lines written; before, it spun on the dead display for
# hours. Each case gets an Xvfb of its own, which the test ends.
#   display_loss_test.sh ORBEX MAKE_MAGAZINE LAUNCH
# Exit 77 when Xvfb or xdotool is missing (CTest counts it as skipped).
set -u

ORBEX=$(realpath "$1")
MAKE_MAGAZINE=$(realpath "$2")
LAUNCH=$(realpath "$3")

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not found"; exit 77; }
done
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"

WORK=$(mktemp -d)
XVFB_PID=
LAUNCH_PID=
cleanup() {
    [ -n "$LAUNCH_PID" ] && kill "$LAUNCH_PID" 2>/dev/null && wait "$LAUNCH_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

FAILURES=0
fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

poll() {
    local until=$(($(now_ms) + $1))
    shift
    while true; do
        "$@" && return 0
        (($(now_ms) > until)) && return 1
        sleep 0.05
    done
}

viewer_ended() { ! kill -0 "$LAUNCH_PID" 2>/dev/null; }
find_window() { WID=$(xdotool search --onlyvisible --pid "$VIEWER_PID" 2>/dev/null | head -n1) && [ -n "$WID" ]; }

# lose NAME VIDEO LETTERS SECONDS [ACTION]: the viewer shown for SECONDS,
# ACTION done to its window (xdotool's), then the server ended.
lose() {
    local name=$1 video=$2 letters=$3 seconds=$4 action=${5:-}
    local folder="$WORK/$name"
    "$MAKE_MAGAZINE" "$folder" 1
    exec 3>"$WORK/displayfd"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec 3>&-
    poll 5000 test -s "$WORK/displayfd" || { echo "SKIP: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 77; }
    local display=":$(head -n1 "$WORK/displayfd")"
    : >"$WORK/displayfd"
    "$LAUNCH" --dir "$folder" --deadline 60 --pid-file "$folder/viewer.pid" --stdout stdout.txt --stderr stderr.txt \
        DISPLAY="$display" SDL_AUDIODRIVER=dummy ORBEX_VIDEO="$video" ORBEX_SCALE=1 -- "$ORBEX" "$letters" &
    LAUNCH_PID=$!
    if ! poll 5000 test -s "$folder/viewer.pid"; then
        fail "$name: the viewer did not start"
        return
    fi
    VIEWER_PID=$(cat "$folder/viewer.pid")
    DISPLAY=$display poll 10000 find_window || fail "$name: no window appeared"
    sleep "$seconds"
    [ -n "$action" ] && DISPLAY=$display xdotool "$action" "$WID"
    sleep 0.5
    kill "$XVFB_PID"
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
    # At once, as a closed window would; the deadline is for a loaded machine.
    if ! poll 5000 viewer_ended; then
        fail "$name: the viewer did not end when its display went away"
        grep -E '^(Pid|State)' "/proc/$VIEWER_PID/status" 2>/dev/null | sed 's/^/  /'
        kill "$LAUNCH_PID"
        wait "$LAUNCH_PID" 2>/dev/null
        LAUNCH_PID=
        return
    fi
    wait "$LAUNCH_PID"
    local status=$?
    LAUNCH_PID=
    [ "$status" = 1 ] || fail "$name: exit status $status, expected 1"
    grep -q "^orbex: the display went away, so the viewer has stopped$" "$folder/stderr.txt" ||
        fail "$name: standard error: $(cat "$folder/stderr.txt")"
    local tail
    tail=$(tr -d '\r' <"$folder/orbex.log" | grep -a -E '^(Closing Engine|Closing DirectDraw|Quit viewer)$' | tr '\n' '|')
    [ "$tail" = "Closing Engine|Closing DirectDraw|Quit viewer|" ] || fail "$name: shutdown lines in orbex.log: '$tail'"
}

lose start-picture window ln 1
lose article fullscreen l 8
lose minimized window ln 2 windowminimize

if [ "$FAILURES" != 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "the viewer ended every time its display went away"
