#!/bin/bash
# Runs orbex in a real SDL window on a private Xvfb display: the start
# picture, taps (press and release back to back) that follow links every
# time, keys, the pointer leaving the window at the bottom edge, Print
# Screen, Ctrl+C (read back with xclip), a letterboxed window, Alt+Enter
# into full screen and back, a tap that ends the end picture, the close button and the shutdown lines of the
# log. Checks what the X display shows, pixel by pixel, each check waiting
# for its picture up to a deadline. The viewer is started by orbex_launch (a
# clean environment and a deadline of its own) and killed when a step fails.
#   run_xvfb_test.sh ORBEX XPROBE MAKE_MAGAZINE LAUNCH
# Exit 77 when Xvfb or xdotool is missing (CTest counts it as skipped).
set -u

ORBEX=$(realpath "$1")
XPROBE=$(realpath "$2")
MAKE_MAGAZINE=$(realpath "$3")
LAUNCH=$(realpath "$4")

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool not found"; exit 77; }
done

# D-Bus and the GL drivers that SDL loads keep memory to the end; leaks of
# the viewer's own are the unit tests' to find.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0"

WORK=$(mktemp -d)
XVFB_PID=
LAUNCH_PID=
WID= WX=0 WY=0 X=0 Y=0 WIDTH=0 HEIGHT=0 PIXEL= CLIPBOARD=
cleanup() {
    stop_viewer
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

FAILURES=0
fail() {
    echo "FAIL: $*"
    FAILURES=$((FAILURES + 1))
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# poll MS COMMAND...: runs the command until it succeeds; false when MS
# milliseconds have passed without.
poll() {
    local until=$(($(now_ms) + $1))
    shift
    while true; do
        "$@" && return 0
        (($(now_ms) > until)) && return 1
        sleep 0.05
    done
}

# A 16:10 screen, so that full screen shows bars beside the 4:3 frame.
exec 3>"$WORK/displayfd"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
exec 3>&-
poll 5000 test -s "$WORK/displayfd" || { echo "SKIP: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 77; }
export DISPLAY=":$(head -n1 "$WORK/displayfd")"

# pixel_is X Y R G B: the screen pixel at (X, Y) is within 12 of the colour;
# PIXEL holds what it was.
pixel_is() {
    local r g b
    PIXEL=$("$XPROBE" pixel "$1" "$2")
    read -r r g b <<<"$PIXEL"
    ((r >= $3 - 12 && r <= $3 + 12 && g >= $4 - 12 && g <= $4 + 12 && b >= $5 - 12 && b <= $5 + 12))
}

save_screen() {
    "$XPROBE" png "$PWD/orbex-xvfb-$1.png" 2>/dev/null && echo "  screen saved as $PWD/orbex-xvfb-$1.png"
}

# expect NAME X Y R G B: the screen pixel becomes that colour within three seconds.
expect() {
    local name=$1
    shift
    poll 3000 pixel_is "$@" && return 0
    fail "$name: pixel ($1, $2) is $PIXEL, expected $3 $4 $5"
    save_screen "$name"
    return 1
}

# Frame coordinates to screen coordinates of the 640x480 window.
sx() { echo $((WX + $1)); }
sy() { echo $((WY + $1)); }

# The frame's pixel (x, y) has the colour wherever the window stands now:
# back from full screen, the window takes its size before its place.
window_pixel_is() {
    window_geometry
    pixel_is "$(sx "$1")" "$(sy "$2")" "$3" "$4" "$5"
}

# The page's column x = 100 from the first text row to the last, as one
# line: it changes whenever the page scrolls.
page_column() {
    local args=() y
    for ((y = 206; y < 462; y += 3)); do
        args+=("$(sx 100)" "$(sy "$y")")
    done
    "$XPROBE" pixel "${args[@]}" | tr '\n' ' '
}

# The page stands still: the same column twice, 0.3 seconds apart.
page_still() {
    local before
    before=$(page_column)
    sleep 0.3
    [ "$before" = "$(page_column)" ]
}

page_moved_from() { [ "$(page_column)" != "$1" ]; }

# clipboard_has TEXT: the clipboard's first line is TEXT; CLIPBOARD holds it.
clipboard_has() {
    CLIPBOARD=$(timeout 2 xclip -o -selection clipboard 2>/dev/null | head -n1)
    [ "$CLIPBOARD" = "$1" ]
}

viewer_ended() { ! kill -0 "$LAUNCH_PID" 2>/dev/null; }

# The viewer's window, found by the viewer's process.
find_window() {
    WID=$(xdotool search --onlyvisible --pid "$VIEWER_PID" 2>/dev/null | head -n1)
    [ -n "$WID" ]
}

window_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$WID")"
    WX=$X WY=$Y
}

window_is_640x480() {
    window_geometry
    [ "$WIDTH" = 640 ] && [ "$HEIGHT" = 480 ]
}

# Kills a viewer still running (through its launcher, which kills it first).
stop_viewer() {
    if [ -n "$LAUNCH_PID" ]; then
        kill "$LAUNCH_PID" 2>/dev/null
        wait "$LAUNCH_PID" 2>/dev/null
        LAUNCH_PID=
    fi
}

# The step failed: the viewer goes, the rest of its steps are skipped.
abandon() {
    echo "  stopping the viewer after the failed step"
    [ -f "$FOLDER/stderr.txt" ] && sed 's/^/  stderr: /' "$FOLDER/stderr.txt"
    stop_viewer
    return 1
}

start_viewer() {
    FOLDER=$1
    rm -f "$FOLDER/viewer.pid"
    "$LAUNCH" --dir "$FOLDER" --deadline 60 --pid-file "$FOLDER/viewer.pid" --stdout stdout.txt --stderr stderr.txt \
        ORBEX_VIDEO=window ORBEX_SCALE=1 -- "$ORBEX" ln &
    LAUNCH_PID=$!
    poll 5000 test -s "$FOLDER/viewer.pid" || { fail "the viewer did not start"; abandon; return 1; }
    VIEWER_PID=$(cat "$FOLDER/viewer.pid")
    poll 10000 find_window || { fail "no window of process $VIEWER_PID appeared"; abandon; return 1; }
    window_is_640x480 || fail "window is ${WIDTH}x$HEIGHT, expected 640x480"
    xdotool windowfocus --sync "$WID" 2>/dev/null
}

# The viewer ends by itself within five seconds, with status 0 and its
# shutdown lines logged.
expect_end() {
    if ! poll 5000 viewer_ended; then
        fail "$1: the viewer did not end"
        abandon
        return 1
    fi
    wait "$LAUNCH_PID"
    local status=$?
    LAUNCH_PID=
    [ "$status" = 0 ] || fail "$1: exit status $status"
    local tail
    tail=$(tr -d '\r' <"$FOLDER/orbex.log" | grep -a -E '^(Closing Engine|Closing DirectDraw|Quit viewer)$' | tr '\n' '|')
    [ "$tail" = "Closing Engine|Closing DirectDraw|Quit viewer|" ] || fail "$1: shutdown lines in orbex.log: '$tail'"
}

# A tap: press and release with nothing in between, as a touchpad or an
# automation tool sends them.
tap() { xdotool click 1; }

# The intro takes a click once its first second is over; an earlier one is
# let go unnoticed, so tap until the contents page is there.
tap_intro_away() {
    tap
    poll 500 pixel_is "$(sx 320)" "$(sy 100)" 20 60 180
}

BLUE="20 60 180"
GREEN="0 255 0"
HOVER="0 255 255"

run_24() {
    expect intro "$(sx 320)" "$(sy 240)" 200 40 30 || { abandon; return; }

    xdotool key Print
    poll 3000 test -f "$FOLDER/orbex-shot-0001.png" || fail "Print Screen wrote no orbex-shot-0001.png"
    xdotool key Print
    poll 3000 test -f "$FOLDER/orbex-shot-0002.png" || fail "a second Print Screen did not write orbex-shot-0002.png"

    xdotool mousemove "$(sx 300)" "$(sy 245)"
    poll 8000 tap_intro_away || { fail "taps did not end the start picture"; abandon; return; }
    expect contents-line5 "$(sx 100)" "$(sy 293)" $BLUE || { abandon; return; }
    # The link under the pointer lights up once a frame has read the pointer.
    expect contents-hover "$(sx 100)" "$(sy 245)" $HOVER || { abandon; return; }

    # Ctrl+C: the contents page's text on the clipboard, in UTF-8.
    if command -v xclip >/dev/null; then
        xdotool key ctrl+c
        poll 3000 clipboard_has "Inhalt: Grüße aus Köln" || fail "Ctrl+C: the clipboard holds '$CLIPBOARD'"
    else
        echo "NOTE: xclip not found, Ctrl+C not checked"
    fi

    # Five taps on the link: article 2 (odd lines green), back to the
    # contents page by article 2's link at the same place, and so on.
    local n
    for n in 1 2 3 4 5; do
        tap
        if ((n % 2 == 1)); then
            expect "tap$n-article2" "$(sx 100)" "$(sy 293)" $GREEN || { abandon; return; }
        else
            expect "tap$n-contents" "$(sx 100)" "$(sy 293)" $BLUE || { abandon; return; }
        fi
    done
    xdotool mousemove "$(sx 600)" "$(sy 100)"
    expect article2-line4 "$(sx 100)" "$(sy 277)" $BLUE || { abandon; return; }

    # Down scrolls one line: line 6 (empty) moves to where line 5 was.
    xdotool key Down
    expect down-line5 "$(sx 100)" "$(sy 293)" $BLUE || { abandon; return; }
    xdotool key Home
    expect home-line5 "$(sx 100)" "$(sy 293)" $GREEN || { abandon; return; }

    # The pointer at the bottom edge scrolls the page; gone out of the window
    # across that edge it scrolls no more; back at the edge it scrolls again.
    local still
    still=$(page_column)
    xdotool mousemove "$(sx 300)" "$(sy 470)"
    poll 3000 page_moved_from "$still" || { fail "the bottom edge did not scroll"; save_screen edge; abandon; return; }
    xdotool mousemove "$(sx 300)" "$(sy 520)"
    poll 3000 page_still || { fail "the page went on scrolling with the pointer outside"; save_screen outside; abandon; return; }
    still=$(page_column)
    sleep 0.5
    [ "$(page_column)" = "$still" ] || { fail "the page scrolled again with the pointer outside"; abandon; return; }
    xdotool mousemove "$(sx 300)" "$(sy 470)"
    poll 3000 page_moved_from "$still" || { fail "the bottom edge no longer scrolled"; abandon; return; }
    # Home only once the page stands still: the frame after a move still
    # scrolls by the position it read before (by up to a line at a low rate).
    xdotool mousemove "$(sx 600)" "$(sy 100)"
    poll 3000 page_still || { fail "the page went on scrolling away from the edge"; abandon; return; }
    xdotool key Home
    expect home-again "$(sx 100)" "$(sy 293)" $GREEN || { abandon; return; }

    # A window of 1280x800 shows the frame 1067x800 with black bars beside
    # it, and the pointer still lands on frame pixels.
    xdotool windowsize --sync "$WID" 1280 800
    window_geometry
    if [ "$WIDTH" = 1280 ] && [ "$HEIGHT" = 800 ]; then
        expect letterbox-bar "$((X + 40))" "$((Y + 400))" 0 0 0
        expect letterbox-frame "$((X + 640))" "$((Y + 60))" $BLUE
        expect letterbox-text "$((X + 107 + 100 * 5 / 3))" "$((Y + 293 * 5 / 3))" $GREEN
    else
        fail "window did not take the size 1280x800 (${WIDTH}x$HEIGHT)"
    fi

    # Alt+Enter: full screen, the same picture over the whole 1280x800 screen;
    # again: back to a 640x480 window, frame intact.
    xdotool key alt+Return
    expect fullscreen-bar 40 400 0 0 0
    expect fullscreen-frame 640 60 $BLUE
    expect fullscreen-text "$((107 + 100 * 5 / 3))" "$((293 * 5 / 3))" $GREEN
    xdotool key alt+Return
    poll 3000 window_is_640x480 || { fail "after Alt+Enter twice the window is ${WIDTH}x$HEIGHT"; abandon; return; }
    if ! poll 3000 window_pixel_is 100 293 $GREEN; then
        fail "window-again: frame pixel (100, 293) is $PIXEL, expected $GREEN"
        save_screen window-again
        abandon
        return
    fi

    # The right button leads back to the contents page.
    xdotool mousemove "$(sx 600)" "$(sy 100)" click 3
    expect right-click "$(sx 100)" "$(sy 293)" $BLUE || { abandon; return; }

    # F12: the end picture. Without music (the letter n) nothing fades, and
    # a single tap ends the program.
    xdotool key F12
    expect outro "$(sx 320)" "$(sy 240)" 30 160 60 || { abandon; return; }
    tap
    expect_end "tap on the end picture"
}

run_16() {
    expect intro16 "$(sx 320)" "$(sy 240)" 200 40 30 || { abandon; return; }
    # The close button: the request a window manager sends.
    "$XPROBE" close "$WID"
    expect_end "close button"
}

# --- At 24 bits ---------------------------------------------------------
"$MAKE_MAGAZINE" "$WORK/mag24" 1
start_viewer "$WORK/mag24" && run_24

# --- At 16 bits (RGB565) ------------------------------------------------
"$MAKE_MAGAZINE" "$WORK/mag16" 3
start_viewer "$WORK/mag16" && run_16

if [ "$FAILURES" != 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "all window checks passed"
