#!/bin/sh
# Starts the real player on the demo course under a virtual X display, waits for the main
# window, saves a screenshot and checks that it shows the stage: the pump of the course's
# background picture must be on screen in its exact colour, and the player must still run.
# Usage: player_screenshot.sh <course folder> <screenshot.png>
set -u
course=$1
shot=$2
. "$(dirname "$0")/x_display.sh"

cd "$course" || { echo "no course folder $course"; exit 1; }
start_player "$shot.log"
# The splash covers the stage for 4 seconds; then the stage must show within the time limit.
sleep 5
found=0
tries=0
while [ $tries -lt 40 ]; do
    tries=$((tries + 1))
    if ! player_running; then
        echo "the player ended during start-up:"; cat "$shot.log"; exit 1
    fi
    screenshot "$shot" || { sleep 1; continue; }
    # Fraction of the screen in the pump's green.
    green=$(shot_fraction "$shot" '#27ae60')
    if above "$green" 0.002; then found=1; break; fi
    sleep 1
done
stop_player
if [ $found -ne 1 ]; then
    echo "the stage did not show (green fraction ${green:-none}); screenshot: $shot"
    cat "$shot.log"
    exit 1
fi
# A blank or black window fails above; report what was seen.
echo "stage shown: green fraction $green; screenshot: $shot"
