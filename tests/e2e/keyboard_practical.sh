#!/bin/sh
# Plays the demo lesson to its first practical step with the keyboard alone, in the real player
# under a virtual X display: each message box is confirmed with Return, each choice step is
# answered with its number key and left with Alt+N (Next). In the practical step Tab moves the
# focus frame over the stage objects until it frames the vent cock; the menu key opens its
# menu, Down Down Return chooses "open the vent cock", and the step must be evaluated as solved:
# the lesson goes on to the estimate step that follows it.
# Usage: keyboard_practical.sh <course folder> <screenshot folder>
set -u
course=$1
shots=$2
. "$(dirname "$0")/x_display.sh"

mkdir -p "$shots"
traced_course_copy "$course" "-w"
start_player player.log -s 1:2:1:0

# The script last opened, from the trace log.
script() { grep -o "LDE# open [A-Z0-9]* @ -1" trace.log 2>/dev/null | tail -1 | cut -d' ' -f3; }

# Steps 1 to 3: confirm boxes, answer, go on.
tries=0
while [ "$(script)" != PRIME ] || [ "$(windows | wc -l)" -lt 2 ]; do
    tries=$((tries + 1))
    if [ $tries -gt 240 ]; then
        screenshot "$shots/stuck.png"
        echo "the practical step never asked (at $(script)); windows:" \
            "$(for w in $(windows); do xdotool getwindowname "$w"; done | tr '\n' '/')"
        echo "screenshot: $shots/stuck.png"
        exit 1
    fi
    player_running || { echo "the player ended:"; cat player.log; exit 1; }
    if [ "$(windows | wc -l)" -ge 2 ]; then
        press_box Return
    else
        case "$(script)" in
            INTRO | VALVE | FMETER | VOPEN) press 2 ;;
            START | ROTATE) press 3 ;;
            SHUT) press 1 ;;
        esac
        press alt+n
    fi
    sleep 0.5
done
# The practical step's task is on screen: confirm it; the step then waits for a pick.
sleep 1
press_box Return
sleep 2
[ "$(windows | wc -l)" -eq 1 ] || { echo "a box stayed open in the practical step"; exit 1; }

# Where the window's client area starts on the screen.
geometry=$(xdotool getwindowgeometry "$(main_window)" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
wx=${geometry% *}
wy=${geometry#* }
# The vent cock's place on the stage (PRIME.lds: Bmp "VENT", 808, 306 @ 31).
vent_x=808
vent_y=306

screenshot "$shots/before_tab.png"
framed=0
tabs=0
while [ $tabs -lt 8 ]; do
    tabs=$((tabs + 1))
    press Tab
    sleep 0.5
    screenshot "$shots/tab$tabs.png"
    # The focus frame is what differs from the stage before any Tab: its box's top left corner.
    box=$("$CONVERT" "$shots/before_tab.png" "$shots/tab$tabs.png" -compose difference \
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

press Menu
sleep 1
screenshot "$shots/menu.png"
xdotool key Down Down Return
# The verdict box of a solved practical step; Return closes it and the lesson goes on.
tries=0
while [ "$(script)" = PRIME ]; do
    tries=$((tries + 1))
    [ $tries -le 30 ] || { echo "the pick by keyboard did not solve the step"; exit 1; }
    [ "$(windows | wc -l)" -ge 2 ] && press_box Return
    sleep 1
done
if [ "$(script)" != FILL ]; then
    echo "after the practical step came $(script), not the estimate step"
    exit 1
fi
echo "practical step solved by keyboard after $tabs Tab presses; screenshots in $shots"
