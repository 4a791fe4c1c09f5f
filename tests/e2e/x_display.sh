# Shared by the end-to-end checks, sourced after the caller's arguments are read: runs the
# calling script again under a virtual X display, starts and stops the player, and measures
# screenshots with ImageMagick (IMPORT and CONVERT name its import and convert programs).
IMPORT=${IMPORT:-import}
CONVERT=${CONVERT:-convert}

if [ -z "${E2E_INSIDE_X:-}" ]; then
    E2E_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 ${E2E_SCREEN:-1280x1024}x24" sh "$0" "$@"
fi

# traced_course_copy COURSE FLAGS: a copy of the course in a temporary folder becomes the
# current folder, its INI's flags set to FLAGS with a trace log; the copy and the player go on
# exit.
traced_course_copy() {
    work=$(mktemp -d)
    trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
    cp -a "$1" "$work/course" || exit 1
    cd "$work/course" || exit 1
    sed -i "s/^Flag=.*/Flag=$2 -r trace.log/" DEMO.INI
}

# start_player LOG [ARGS...]: the player of the current course folder, in the background.
start_player() {
    player_log=$1
    shift
    QT_QPA_PLATFORM=xcb ./DEMO "$@" > "$player_log" 2>&1 &
    pid=$!
}
# The step script the player opened last, from the trace log of traced_course_copy.
last_script() { grep -o "LDE# open [A-Z0-9]* @ -1" trace.log 2>/dev/null | tail -1 | cut -d' ' -f3; }
player_running() { kill -0 "$pid" 2>/dev/null; }
stop_player() {
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}
# The player's windows on screen; its main window (its caption holds " [").
windows() { xdotool search --onlyvisible --name '.' 2>/dev/null; }
main_window() { xdotool search --onlyvisible --name ' \[' 2>/dev/null | head -1; }
# press KEY...: keys to the main window; press_box KEY...: to the box over it. With no window
# manager on the virtual display a window is given the input focus first, as a click would;
# the focus wait is bounded, so that a window that closes while it is focused holds nothing.
press() {
    w=$(main_window)
    [ -n "$w" ] && timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
    xdotool key "$@"
}
press_box() {
    w=$(windows | grep -v "^$(main_window)\$" | tail -1)
    [ -n "$w" ] && timeout 5 xdotool windowfocus --sync "$w" 2>/dev/null
    xdotool key "$@"
}
# The player's windows: the main window and the boxes or lists over it.
boxes() { windows | wc -l; }
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
wait_for() {
    wait_end=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$wait_end" ] || return 1
        sleep 0.2
    done
}
# answer_until SCRIPT: confirms boxes and answers the choice steps (and the estimate steps, at
# the slider's start) until SCRIPT is the step script and the step's first box is up. The
# caller defines stuck MESSAGE, which reports and exits.
answer_until() {
    deadline=$(($(date +%s) + 180))
    while [ "$(last_script)" != "$1" ] || [ "$(boxes)" -lt 2 ]; do
        [ "$(date +%s)" -lt "$deadline" ] || stuck "step $1 never came"
        player_running || { echo "the player ended:"; cat player.log; exit 1; }
        was_script=$(last_script)
        was_boxes=$(boxes)
        if [ "$was_boxes" -ge 2 ]; then
            press_box Return
        else
            case "$was_script" in
                INTRO | VALVE | FMETER | VOPEN) press 2 ;;
                START | ROTATE) press 3 ;;
                SHUT) press 1 ;;
                ALARM) press 4 ;;
            esac
            press alt+n
        fi
        changed() { [ "$(last_script)" != "$was_script" ] || [ "$(boxes)" != "$was_boxes" ]; }
        wait_for 2 changed
    done
}
# screenshot FILE: the whole screen.
screenshot() { "$IMPORT" -window root "$1" 2>/dev/null; }

# shot_fraction FILE COLOUR [REGION]: the fraction of the pixels (of the region WxH+X+Y) that
# have exactly the colour (#rrggbb).
shot_fraction() {
    "$CONVERT" "$1" ${3:+-crop "$3" +repage} -fill black +opaque "$2" -fill white -opaque "$2" \
        -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null
}
# shot_count FILE COLOUR: how many pixels have exactly the colour.
shot_count() {
    "$CONVERT" "$1" -fill black +opaque "$2" -fill white -opaque "$2" -colorspace Gray \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}
# shot_pixel FILE X,Y: the pixel's colour as RRGGBB.
shot_pixel() { "$CONVERT" "$1" -format "%[hex:u.p{$2}]" info: 2>/dev/null; }
above() { awk -v v="$1" -v t="$2" 'BEGIN { exit !(v > t) }'; }
