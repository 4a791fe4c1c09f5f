#!/bin/sh
# Plays the whole demo lesson in the real player under a virtual X display: a preset learner
# in automatic play (-s 1:2:1:1). While a choice, a practical and an estimate step are on
# screen it takes a screenshot and checks its pixels: the control panel with the question box
# and the answers for the choice step, the panel with the task and no answer under the stage
# for the practical step, the statistics window beside the tank, clear of its scale, for the
# estimate. The lesson must then run to its end and start again.
# Usage: lesson_autoplay.sh <course folder> <screenshot folder>
set -u
course=$1
shots=$2
. "$(dirname "$0")/x_display.sh"

mkdir -p "$shots"
traced_course_copy "$course" "-w"
start_player player.log -s 1:2:1:1


check_choice() {  # question box white, control panel grey between the answers, answer 1 white
    [ "$(shot_pixel "$1" 600,745)" = FFFFFF ] && [ "$(shot_pixel "$1" 590,800)" = EFEFEF ] &&
        [ "$(shot_pixel "$1" 550,812)" = FFFFFF ]
}
check_practical() {  # the task in the question box, no answer below it; the pump shows
    [ "$(shot_pixel "$1" 600,745)" = FFFFFF ] && [ "$(shot_pixel "$1" 550,812)" = EFEFEF ] &&
        above "$(shot_fraction "$1" '#27ae60' 1008x600+136+160)" 0.002
}
check_estimate() {  # the statistics window's grey right of the tank; its scale left in view
    above "$(shot_fraction "$1" '#efefef' 300x200+830+430)" 0.3 &&
        ! above "$(shot_fraction "$1" '#efefef' 60x400+436+280)" 0.05
}

choice="" practical="" estimate="" seen="" held=0 tries=0
while [ $tries -lt 400 ]; do
    tries=$((tries + 1))
    if ! player_running; then
        echo "the player ended:"; cat player.log; exit 1
    fi
    sleep 1
    s=$(last_script)
    if [ "$s" = "$seen" ]; then held=$((held + 1)); else held=0; seen=$s; fi
    shot="$shots/$s.png"
    case "$s" in
        START) [ -z "$choice" ] && [ $held -ge 3 ] && screenshot "$shot" &&
               check_choice "$shot" && choice=$shot ;;
        PRIME) [ -z "$practical" ] && [ $held -ge 2 ] && screenshot "$shot" &&
               check_practical "$shot" && practical=$shot ;;
        FILL) [ -z "$estimate" ] && screenshot "$shot" &&
              check_estimate "$shot" && estimate=$shot ;;
    esac
    # The lesson ran to its end when its first script opens a second time.
    if [ "$(grep -c "LDE# open INTRO @ -1" trace.log)" -ge 2 ]; then break; fi
done
status=0
[ -n "$choice" ] || { echo "no choice step passed its check"; status=1; }
[ -n "$practical" ] || { echo "no practical step passed its check"; status=1; }
[ -n "$estimate" ] || { echo "no estimate step passed its check"; status=1; }
if [ "$(grep -c "LDE# open INTRO @ -1" trace.log)" -lt 2 ]; then
    echo "the lesson did not reach its end; scripts run:"
    grep -o "LDE# open [A-Z]* @ -1" trace.log | cut -d' ' -f3 | uniq | tr '\n' ' '; echo
    status=1
fi
for step in STOP CAVIT GAUGE THROTL ALARM FILL PRIME SHUT START INTRO; do
    grep -q "LDE# open $step @ -1" trace.log || { echo "step script $step never ran"; status=1; }
done
[ $status -eq 0 ] && echo "whole lesson played; checked $choice $practical $estimate"
exit $status
