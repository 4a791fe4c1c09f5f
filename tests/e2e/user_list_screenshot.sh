#!/bin/sh
# Starts the real player on the demo course under a virtual X display and checks that the
# user list comes up with the course's groups and learners: the screenshot must show the group
# icon twice over, a finished learner's tick, a stored password's key and a marker's flag, each
# in its exact colour, and the player must still run.
# Usage: user_list_screenshot.sh <course folder> <screenshot.png>
set -u
course=$1
shot=$2
. "$(dirname "$0")/x_display.sh"

cd "$course" || { echo "no course folder $course"; exit 1; }
start_player "$shot.log"
# The start timer shows the list 3 seconds after start.
sleep 3
found=0
tries=0
while [ $tries -lt 40 ]; do
    tries=$((tries + 1))
    if ! player_running; then
        echo "the player ended during start-up:"; cat "$shot.log"; exit 1
    fi
    screenshot "$shot" || { sleep 1; continue; }
    folder=$(shot_count "$shot" '#f0c850')   # group icon: two groups
    tick=$(shot_count "$shot" '#007800')     # finished learner
    key=$(shot_count "$shot" '#e6b41e')      # stored password
    flag=$(shot_count "$shot" '#dc1e1e')     # marker
    if [ "$folder" -ge 40 ] && [ "$tick" -ge 3 ] && [ "$key" -ge 10 ] && [ "$flag" -ge 10 ]; then
        found=1
        break
    fi
    sleep 1
done
running=1
player_running || running=0
stop_player
if [ $found -ne 1 ] || [ $running -ne 1 ]; then
    echo "the user list did not show the demo's learners (group $folder, finished $tick," \
         "password $key, marker $flag pixels); screenshot: $shot"
    cat "$shot.log"
    exit 1
fi
echo "user list shown: group $folder, finished $tick, password $key, marker $flag pixels;" \
     "screenshot: $shot"
