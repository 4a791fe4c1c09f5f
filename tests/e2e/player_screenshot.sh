#!/bin/sh
# Starts the real player on the demo course under a virtual X display, waits for the main
# window, saves a screenshot and checks that it shows the stage: the pump of the course's
# background picture must be on screen in its exact colour, and the player must still run.
# Usage: player_screenshot.sh <course folder> <screenshot.png>
# Environment: IMPORT and CONVERT name ImageMagick's import and convert programs.
set -u
course=$1
shot=$2
IMPORT=${IMPORT:-import}
CONVERT=${CONVERT:-convert}

if [ -z "${E2E_INSIDE_X:-}" ]; then
    E2E_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$@"
fi

cd "$course" || { echo "no course folder $course"; exit 1; }
QT_QPA_PLATFORM=xcb ./DEMO > "$shot.log" 2>&1 &
pid=$!
# The splash covers the stage for 4 seconds; then the stage must show within the time limit.
sleep 5
found=0
tries=0
while [ $tries -lt 40 ]; do
    tries=$((tries + 1))
    if ! kill -0 $pid 2>/dev/null; then
        echo "the player ended during start-up:"; cat "$shot.log"; exit 1
    fi
    "$IMPORT" -window root "$shot" 2>/dev/null || { sleep 1; continue; }
    # Fraction of the screen in the pump's green (#27ae60).
    green=$("$CONVERT" "$shot" -fill black +opaque '#27ae60' -fill white -opaque '#27ae60' \
        -colorspace Gray -format '%[fx:mean]' info:)
    if awk -v g="$green" 'BEGIN { exit !(g > 0.002) }'; then found=1; break; fi
    sleep 1
done
kill $pid 2>/dev/null
wait $pid 2>/dev/null
if [ $found -ne 1 ]; then
    echo "the stage did not show (green fraction ${green:-none}); screenshot: $shot"
    cat "$shot.log"
    exit 1
fi
# A blank or black window fails above; report what was seen.
echo "stage shown: green fraction $green; screenshot: $shot"
