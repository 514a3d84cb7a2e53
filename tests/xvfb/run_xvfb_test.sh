#!/bin/bash
# Runs orbex in a real SDL window on a private Xvfb display: the start
# picture, a click into the contents page, a followed link, keys, Print
# Screen, Alt+Enter into full screen and back, the close button and the
# shutdown lines of the log. Checks what the X display shows, pixel by pixel.
#   run_xvfb_test.sh ORBEX XPROBE MAKE_MAGAZINE
# Exit 77 when Xvfb or xdotool is missing (CTest counts it as skipped).
set -u

ORBEX=$(realpath "$1")
XPROBE=$(realpath "$2")
MAKE_MAGAZINE=$(realpath "$3")

for tool in Xvfb xdotool python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not found"; exit 77; }
done

# D-Bus and the GL drivers that SDL loads keep memory to the end; leaks of
# the viewer's own are the unit tests' to find.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"

WORK=$(mktemp -d)
XVFB_PID=
ORBEX_PID=
cleanup() {
    [ -n "$ORBEX_PID" ] && kill -9 "$ORBEX_PID" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

FAILURES=0
fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

# A 16:10 screen, so that full screen shows bars beside the 4:3 frame.
exec 3>"$WORK/displayfd"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 3>&-
for _ in $(seq 50); do
    [ -s "$WORK/displayfd" ] && break
    sleep 0.1
done
[ -s "$WORK/displayfd" ] || { echo "SKIP: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 77; }
export DISPLAY=":$(head -n1 "$WORK/displayfd")"

# pixel X Y: "R G B" of the screen at (X, Y).
pixel() { "$XPROBE" pixel "$1" "$2"; }

# expect NAME X Y R G B: the screen pixel is within 12 of the colour.
expect() {
    local name=$1 x=$2 y=$3 r=$4 g=$5 b=$6 got
    got=$(pixel "$x" "$y")
    read -r gr gg gb <<<"$got"
    if ((gr < r - 12 || gr > r + 12 || gg < g - 12 || gg > g + 12 || gb < b - 12 || gb > b + 12)); then
        fail "$name: pixel ($x, $y) is $got, expected $r $g $b"
        "$XPROBE" png "$PWD/orbex-xvfb-$name.png" 2>/dev/null && echo "  screen saved as $PWD/orbex-xvfb-$name.png"
    fi
}

# Frame coordinates to screen coordinates of the 640x480 window.
sx() { echo $((WX + $1)); }
sy() { echo $((WY + $1)); }

start_viewer() {
    local folder=$1
    (cd "$folder" && ORBEX_VIDEO=window ORBEX_SCALE=1 exec "$ORBEX" ln >stdout.txt 2>stderr.txt) &
    ORBEX_PID=$!
    WID=$(timeout 10 xdotool search --sync --onlyvisible --name "ORBEX 5" | head -n1)
    if [ -z "$WID" ]; then
        fail "no window appeared"
        cat "$folder/stderr.txt"
        return 1
    fi
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WX=$X WY=$Y
    [ "$WIDTH" = 640 ] && [ "$HEIGHT" = 480 ] || fail "window is ${WIDTH}x$HEIGHT, expected 640x480"
    xdotool windowfocus --sync "$WID" 2>/dev/null
    sleep 0.5
}

# The close button: the request a window manager sends. The viewer must end
# within five seconds with its shutdown lines logged.
close_viewer() {
    local folder=$1
    "$XPROBE" close "$WID"
    for _ in $(seq 50); do
        kill -0 "$ORBEX_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$ORBEX_PID" 2>/dev/null; then
        fail "the viewer did not end after the close request"
        kill -9 "$ORBEX_PID"
    fi
    wait "$ORBEX_PID"
    local status=$?
    ORBEX_PID=
    [ "$status" = 0 ] || fail "exit status $status"
    local tail
    tail=$(tr -d '\r' <"$folder/orbex.log" | grep -a -E '^(Closing Engine|Closing DirectDraw|Quit viewer)$' | tr '\n' '|')
    [ "$tail" = "Closing Engine|Closing DirectDraw|Quit viewer|" ] || fail "shutdown lines in orbex.log: '$tail'"
}

click() {
    xdotool mousemove "$(sx "$1")" "$(sy "$2")"
    sleep 0.1
    # Held long enough for a frame to see the press.
    xdotool mousedown 1
    sleep 0.2
    xdotool mouseup 1
    sleep 0.3
}

key() {
    xdotool key "$1"
    sleep 0.3
}

# --- At 24 bits ---------------------------------------------------------
MAG=$WORK/mag24
python3 "$MAKE_MAGAZINE" "$MAG" 1
if start_viewer "$MAG"; then
    expect intro "$(sx 320)" "$(sy 240)" 200 40 30

    key Print
    [ -f "$MAG/orbex-shot-0001.png" ] || fail "Print Screen wrote no orbex-shot-0001.png"
    key Print
    [ -f "$MAG/orbex-shot-0002.png" ] || fail "a second Print Screen did not write orbex-shot-0002.png"

    # The intro takes a click once its first second is over.
    sleep 1.2
    click 320 100
    expect background "$(sx 320)" "$(sy 100)" 20 60 180
    expect contents-line5 "$(sx 100)" "$(sy 293)" 20 60 180

    # The link on the third line leads to article 2, whose odd lines are green.
    click 300 245
    xdotool mousemove "$(sx 600)" "$(sy 60)"
    sleep 0.3
    expect article2-line5 "$(sx 100)" "$(sy 293)" 0 255 0
    expect article2-line4 "$(sx 100)" "$(sy 277)" 20 60 180

    # Down scrolls one line: line 6 (empty) moves to where line 5 was.
    key Down
    expect down-line5 "$(sx 100)" "$(sy 293)" 20 60 180
    key Home
    expect home-line5 "$(sx 100)" "$(sy 293)" 0 255 0

    # A window of 1280x800 shows the frame 1067x800 with black bars beside
    # it, and the pointer still lands on frame pixels: the link scrolled
    # back into view is followed again from its scaled place.
    xdotool windowsize --sync "$WID" 1280 800
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    if [ "$WIDTH" = 1280 ] && [ "$HEIGHT" = 800 ]; then
        expect letterbox-bar "$((X + 40))" "$((Y + 400))" 0 0 0
        expect letterbox-frame "$((X + 640))" "$((Y + 60))" 20 60 180
        expect letterbox-text "$((X + 107 + 100 * 5 / 3))" "$((Y + 293 * 5 / 3))" 0 255 0
    else
        fail "window did not take the size 1280x800 (${WIDTH}x$HEIGHT)"
    fi

    # Alt+Enter: full screen, the same picture over the whole 1280x800 screen;
    # again: back to a 640x480 window, frame intact.
    key alt+Return
    sleep 0.5
    expect fullscreen-bar 40 400 0 0 0
    expect fullscreen-frame 640 60 20 60 180
    expect fullscreen-text "$((107 + 100 * 5 / 3))" "$((293 * 5 / 3))" 0 255 0
    key alt+Return
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WX=$X WY=$Y
    [ "$WIDTH" = 640 ] && [ "$HEIGHT" = 480 ] || fail "after Alt+Enter twice the window is ${WIDTH}x$HEIGHT"
    expect window-again "$(sx 100)" "$(sy 293)" 0 255 0

    # The right button leads back to the contents page.
    xdotool mousemove "$(sx 600)" "$(sy 60)" click 3
    sleep 0.4
    expect right-click "$(sx 100)" "$(sy 293)" 20 60 180

    close_viewer "$MAG"
fi

# --- At 16 bits (RGB565) ------------------------------------------------
MAG=$WORK/mag16
python3 "$MAKE_MAGAZINE" "$MAG" 3
if start_viewer "$MAG"; then
    expect intro16 "$(sx 320)" "$(sy 240)" 200 40 30
    close_viewer "$MAG"
fi

if [ "$FAILURES" != 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "all window checks passed"
