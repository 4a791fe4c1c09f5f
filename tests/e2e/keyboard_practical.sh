#!/bin/sh
# Plays the demo lesson to its first practical step with the keyboard alone, in the real player
# under a virtual X display: each message box is confirmed with Return, each choice step is
# answered with its number key and left with Alt+N (Next). In the practical step Tab moves the
# focus frame over the stage objects until it frames the vent cock; the menu key opens its
# menu, Down Down Return chooses "open the vent cock", and the step must be evaluated as solved:
# the lesson goes on to the estimate step that follows it.
# Every wait is for a state (a script opened, a box shown or gone, the screen changed and
# settled), polled with a time limit, so a busy machine only makes the check slower.
# Usage: keyboard_practical.sh <course folder> <screenshot folder>
set -u
course=$1
shots=$2
. "$(dirname "$0")/x_display.sh"

mkdir -p "$shots"
traced_course_copy "$course" "-w"
start_player player.log -s 1:2:1:0

boxes() { windows | wc -l; }
# The keys of the display helpers, with their focus wait bounded: a window that closes while
# it is being focused must not hold the check.
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
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
wait_for() {
    wait_end=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$wait_end" ] || return 1
        sleep 0.2
    done
}
same_picture() {
    [ "$("$CONVERT" "$1" "$2" -compose difference -composite -format '%[fx:maxima]' info: \
        2>/dev/null)" = 0 ]
}
# settle FILE SECONDS: screenshots into FILE until two in a row agree (nothing moves).
settle() {
    settle_end=$(($(date +%s) + $2))
    screenshot "$1"
    while :; do
        sleep 0.2
        screenshot "${1%.png}.next.png"
        if same_picture "$1" "${1%.png}.next.png"; then
            rm -f "${1%.png}.next.png"
            return 0
        fi
        mv "${1%.png}.next.png" "$1"
        [ "$(date +%s)" -lt "$settle_end" ] || return 1
    done
}
# changed_shot FILE PREVIOUS SECONDS: a settled screenshot once the screen differs from the
# screenshot PREVIOUS. Fails (keeping the last shot) when that does not happen in time.
changed_shot() {
    change_end=$(($(date +%s) + $3))
    screenshot "$1"
    while same_picture "$1" "$2"; do
        [ "$(date +%s)" -lt "$change_end" ] || return 1
        sleep 0.2
        screenshot "$1"
    done
    settle "$1" $(($change_end - $(date +%s) + 1))
}
stuck() {
    screenshot "$shots/stuck.png"
    echo "$1 (at $(last_script)); windows:" \
        "$(for w in $(windows); do xdotool getwindowname "$w"; done | tr '\n' '/')"
    echo "screenshot: $shots/stuck.png"
    exit 1
}

# Steps 1 to 3: confirm boxes, answer, go on. After each key the check waits for what it
# changes (another script, a box opened or closed) before looking again.
deadline=$(($(date +%s) + 180))
while [ "$(last_script)" != PRIME ] || [ "$(boxes)" -lt 2 ]; do
    [ "$(date +%s)" -lt "$deadline" ] || stuck "the practical step never asked"
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
        esac
        press alt+n
    fi
    changed() { [ "$(last_script)" != "$was_script" ] || [ "$(boxes)" != "$was_boxes" ]; }
    wait_for 2 changed
done

# The practical step's task is on screen: confirm it (again while the box has not taken the
# key yet); the step then waits for a pick with no box open.
gone() { [ "$(boxes)" -eq 1 ]; }
deadline=$(($(date +%s) + 30))
until gone; do
    [ "$(date +%s)" -lt "$deadline" ] || stuck "a box stayed open in the practical step"
    press_box Return
    wait_for 3 gone
done

# Where the window's client area starts on the screen.
geometry=$(xdotool getwindowgeometry "$(main_window)" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
wx=${geometry% *}
wy=${geometry#* }
# The vent cock's place on the stage (PRIME.lds: Bmp "VENT", 808, 306 @ 31).
vent_x=808
vent_y=306

# The stage before any Tab, once nothing on it moves any more.
settle "$shots/before_tab.png" 10 || stuck "the stage of the practical step never settled"
previous="$shots/before_tab.png"
framed=0
tabs=0
box=
while [ $tabs -lt 8 ]; do
    tabs=$((tabs + 1))
    press Tab
    # The frame moves: the screen changes and settles. A Tab to a place that draws nothing
    # leaves the screen as it was.
    changed_shot "$shots/tab$tabs.png" "$previous" 10 || continue
    previous="$shots/tab$tabs.png"
    # The focus frame is what differs from the stage before any Tab: its box's top left corner.
    box=$("$CONVERT" "$shots/before_tab.png" "$previous" -compose difference \
        -composite -threshold 10% -format '%@' info: 2>/dev/null)
    x=$(echo "$box" | sed -n 's/.*+\([0-9]*\)+\([0-9]*\)$/\1/p')
    y=$(echo "$box" | sed -n 's/.*+\([0-9]*\)+\([0-9]*\)$/\2/p')
    [ -n "$x" ] || continue
    dx=$((x - wx - vent_x))
    dy=$((y - wy - vent_y))
    # Below the menu bar, within a few pixels of the vent cock's corner.
    if [ $dx -ge -3 ] && [ $dx -le 3 ] && [ $dy -ge 10 ] && [ $dy -le 45 ]; then
        framed=1
        break
    fi
done
[ $framed -eq 1 ] || { echo "Tab never framed the vent cock (last change $box)"; exit 1; }

# The menu is open once it is on the screen; only then do the keys choose in it.
press Menu
changed_shot "$shots/menu.png" "$previous" 10 || stuck "the menu key opened no menu"
xdotool key Down Down Return
# The verdict box of a solved practical step; Return closes it and the lesson goes on.
deadline=$(($(date +%s) + 60))
while [ "$(last_script)" = PRIME ]; do
    [ "$(date +%s)" -lt "$deadline" ] || { echo "the pick by keyboard did not solve the step"; exit 1; }
    was_boxes=$(boxes)
    [ "$was_boxes" -ge 2 ] && press_box Return
    left_prime() { [ "$(last_script)" != PRIME ] || [ "$(boxes)" != "$was_boxes" ]; }
    wait_for 3 left_prime
done
if [ "$(last_script)" != FILL ]; then
    echo "after the practical step came $(last_script), not the estimate step"
    exit 1
fi
echo "practical step solved by keyboard after $tabs Tab presses; screenshots in $shots"
