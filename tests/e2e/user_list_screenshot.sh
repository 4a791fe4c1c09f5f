#!/bin/sh
# Starts the real player on the demo course under a virtual X display and checks that the
# user list comes up with the course's groups and learners: the screenshot must show the group
# icon twice over, a finished learner's tick, a stored password's key and a marker's flag, each
# in its exact colour, and the player must still run.
# Usage: user_list_screenshot.sh <course folder> <screenshot.png>
# Environment: IMPORT and CONVERT name ImageMagick's import and convert programs.
set -u
course=$1
shot=$2
IMPORT=${IMPORT:-import}
CONVERT=${CONVERT:-convert}

if [ -z "${E2E_INSIDE_X:-}" ]; then
    E2E_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" "$@"
fi

# Pixels of the screenshot in one exact colour.
count() {
    "$CONVERT" "$shot" -fill black +opaque "$1" -fill white -opaque "$1" -colorspace Gray \
        -format '%[fx:round(mean*w*h)]' info:
}

cd "$course" || { echo "no course folder $course"; exit 1; }
QT_QPA_PLATFORM=xcb ./DEMO > "$shot.log" 2>&1 &
pid=$!
# The start timer shows the list 3 seconds after start.
sleep 3
found=0
tries=0
while [ $tries -lt 40 ]; do
    tries=$((tries + 1))
    if ! kill -0 $pid 2>/dev/null; then
        echo "the player ended during start-up:"; cat "$shot.log"; exit 1
    fi
    "$IMPORT" -window root "$shot" 2>/dev/null || { sleep 1; continue; }
    folder=$(count '#f0c850')   # group icon: two groups
    tick=$(count '#007800')     # finished learner
    key=$(count '#e6b41e')      # stored password
    flag=$(count '#dc1e1e')     # marker
    if [ "$folder" -ge 40 ] && [ "$tick" -ge 3 ] && [ "$key" -ge 10 ] && [ "$flag" -ge 10 ]; then
        found=1
        break
    fi
    sleep 1
done
running=1
kill -0 $pid 2>/dev/null || running=0
kill $pid 2>/dev/null
wait $pid 2>/dev/null
if [ $found -ne 1 ] || [ $running -ne 1 ]; then
    echo "the user list did not show the demo's learners (group $folder, finished $tick," \
         "password $key, marker $flag pixels); screenshot: $shot"
    cat "$shot.log"
    exit 1
fi
echo "user list shown: group $folder, finished $tick, password $key, marker $flag pixels;" \
     "screenshot: $shot"
