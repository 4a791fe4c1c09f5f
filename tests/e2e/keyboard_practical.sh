#!/bin/sh
# Plays the demo lesson through its practical and estimate steps (4 to 8) with the keyboard
# alone, in the real player under a virtual X display: each message box is confirmed with
# Return, each choice step is answered with its number key and left with Alt+N (Next). In a
# practical step Tab moves the focus frame over the stage objects until it frames the object
# wanted; the menu key opens its menu and Down... Return chooses the entry. Step 4 is solved
# at the first pick (the vent cock); step 7 gets a wrong pick (close V2) and then the right one
# (throttle V2). After each pick the answer window's verdict is grabbed: green after a right
# pick, red after a wrong one. The estimate window of step 5 must leave the tank's scale
# readable. The lesson must reach step 9.
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

# The practical step's task is on screen: confirm it (again while the box has not taken the
# key yet); the step then waits for a pick with no box open.
gone() { [ "$(boxes)" -eq 1 ]; }
close_task() {
    deadline=$(($(date +%s) + 30))
    until gone; do
        [ "$(date +%s)" -lt "$deadline" ] || stuck "a box stayed open in the practical step"
        press_box Return
        wait_for 3 gone
    done
}

# Where the window's client area starts on the screen.
window_origin() {
    geometry=$(xdotool getwindowgeometry "$(main_window)" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
    wx=${geometry% *}
    wy=${geometry#* }
}

# tab_to NAME X Y: Tab until the focus frame's corner is at the stage object's place (X, Y).
tab_to() {
    window_origin
    settle "$shots/$1_before_tab.png" 10 || stuck "the stage of the practical step never settled"
    previous="$shots/$1_before_tab.png"
    framed=0
    tabs=0
    box=
    while [ $tabs -lt 8 ]; do
        tabs=$((tabs + 1))
        press Tab
        # The frame moves: the screen changes and settles. A Tab to a place that draws nothing
        # leaves the screen as it was.
        changed_shot "$shots/$1_tab$tabs.png" "$previous" 10 || continue
        previous="$shots/$1_tab$tabs.png"
        # The focus frame is what differs from the stage before any Tab: its box's corner.
        box=$("$CONVERT" "$shots/$1_before_tab.png" "$previous" -compose difference \
            -composite -threshold 10% -format '%@' info: 2>/dev/null)
        x=$(echo "$box" | sed -n 's/.*+\([0-9]*\)+\([0-9]*\)$/\1/p')
        y=$(echo "$box" | sed -n 's/.*+\([0-9]*\)+\([0-9]*\)$/\2/p')
        [ -n "$x" ] || continue
        dx=$((x - wx - $2))
        dy=$((y - wy - $3))
        # Below the menu bar, within a few pixels of the object's corner.
        if [ $dx -ge -3 ] && [ $dx -le 3 ] && [ $dy -ge 10 ] && [ $dy -le 45 ]; then
            framed=1
            break
        fi
    done
    [ $framed -eq 1 ] || { echo "Tab never framed $1 (last change $box)"; exit 1; }
}

# pick NAME DOWNS: opens the framed object's menu and chooses its entry DOWNS down.
pick() {
    press Menu
    changed_shot "$shots/$1_menu.png" "$previous" 10 || stuck "the menu key opened no menu"
    i=0
    while [ $i -lt "$2" ]; do
        xdotool key Down
        i=$((i + 1))
    done
    xdotool key Return
}

# verdict NAME COLOUR: confirms the boxes a pick opens, each grabbed first (NAME_box1.png...),
# until none is left; one of them must show the verdict's colour (the answer window's band).
verdict() {
    n=0
    seen=0
    step_script=$(last_script)
    deadline=$(($(date +%s) + 60))
    # Up to the next step: its script opened, its boxes are its own.
    while wait_for 5 box_up && [ "$(last_script)" = "$step_script" ]; do
        [ "$(date +%s)" -lt "$deadline" ] || stuck "the boxes of $1 never ended"
        n=$((n + 1))
        settle "$shots/$1_box$n.png" 5
        count=$(shot_count "$shots/$1_box$n.png" "$2")
        [ "${count:-0}" -ge 20 ] && seen=$n
        was_boxes=$(boxes)
        press_box Return
        closed() { [ "$(boxes)" -lt "$was_boxes" ]; }
        wait_for 5 closed
    done
    [ $seen -gt 0 ] || { echo "no verdict in $2 after $1 (see $shots/$1_box*.png)"; exit 1; }
    echo "$1: verdict in $2 in $shots/$1_box$seen.png"
}
box_up() { [ "$(boxes)" -ge 2 ]; }

right=#006400
wrong=#b00000

answer_until PRIME
close_task
# The vent cock (PRIME.lds: Bmp "VENT", 808, 306 @ 31): Open the vent cock, the right pick.
tab_to vent 808 306
pick vent 2
verdict step4_right "$right"

# Step 5, the estimate: its window leaves the tank's scale (100 to 0 at x 300..360 of the
# stage, y 115..525) in view.
wait_for 30 box_up || stuck "the estimate was never asked"
[ "$(last_script)" = FILL ] || stuck "after the practical step came $(last_script)"
settle "$shots/estimate.png" 10
window_origin
estimate=$(for w in $(windows); do [ "$w" = "$(main_window)" ] || echo "$w"; done | tail -1)
eg=$(xdotool getwindowgeometry "$estimate")
ex=$(echo "$eg" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
ew=$(echo "$eg" | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
scale_left=$((wx + 300))
scale_right=$((wx + 365))
if [ "$ex" -lt "$scale_right" ] && [ $((ex + ew)) -gt "$scale_left" ]; then
    echo "the estimate window ($eg) covers the tank's scale (x $scale_left..$scale_right)"
    exit 1
fi
press_box Return
verdict step5 "$wrong"

# Step 7: a wrong pick on V2 (close it fully), then the right one (throttle it halfway).
answer_until THROTL
close_task
tab_to v2 672 110
pick v2_wrong 4
verdict step7_wrong "$wrong"
# The boxes took the focus: Tab to V2 again.
tab_to v2_again 672 110
pick v2_right 3
verdict step7_right "$right"

# Step 8, the gauge's estimate, then step 9.
wait_for 30 box_up || stuck "the gauge's estimate was never asked"
press_box Return
verdict step8 "$wrong"
at_cavit() { [ "$(last_script)" = CAVIT ]; }
wait_for 30 at_cavit || stuck "step 9 never came"
echo "steps 4 to 8 played by keyboard; screenshots in $shots"
