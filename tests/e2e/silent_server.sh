#!/bin/sh
# Plays the demo lesson through a data server under a virtual X display, as a learner chosen in
# the user list: the server is stopped (SIGSTOP: it accepts and never answers) for steps 1 and
# 2, then killed and started again on its port for step 3, after which the learner stops. The
# player must go on throughout, and afterwards the server must hold every answer: the same
# learner record, score file and history as the player's machine.
# Usage: silent_server.sh <course folder> <output folder>
# DATASERVER and LEARNERS name the data server and the learners tool.
set -u
course=$1
out=$2
. "$(dirname "$0")/x_display.sh"

mkdir -p "$out"
traced_course_copy "$course" "-w"
cp -a "$work/course" "$work/server"
for copy in "$work/course" "$work/server"; do
    "$LEARNERS" add-user "$copy" --lang GB --group 1 --user 9 --name "Zed Silent" >/dev/null ||
        { echo "learners add-user failed"; exit 1; }
done
server_pid=""
trap 'kill $pid 2>/dev/null; [ -n "$server_pid" ] && kill -9 $server_pid 2>/dev/null; rm -rf "$work"' EXIT
# start_server [PORT]: the data server on the server copy; port receives where it listens.
start_server() {
    "$DATASERVER" --root "$work/server" --port "${1:-0}" >"$work/server.out" 2>>"$out/server.log" &
    server_pid=$!
    n=0
    until grep -q "^listening on" "$work/server.out" 2>/dev/null; do
        n=$((n + 1))
        [ $n -lt 100 ] || { echo "the data server did not start"; cat "$out/server.log"; exit 1; }
        sleep 0.1
    done
    port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
}
start_server
printf 'IPserv=localhost\nIPport=%s\n' "$port" >>DEMO.INI
export COURSEWARE_SERVER_WAIT_MS=2000
start_player player.log

stuck() {
    screenshot "$out/stuck.png"
    echo "$1 (at $(last_script)); windows:" \
        "$(for w in $(windows); do xdotool getwindowname "$w"; done | tr '\n' '/')"
    echo "player log:"; cat player.log
    exit 1
}
# The user list: the learner typed, chosen with Return, and the boxes of a new learner
# confirmed until the first step's script runs.
list_up() { [ "$(boxes)" -ge 2 ]; }
wait_for 30 list_up || stuck "the user list never came"
press_box Z e d Return
started() { [ -n "$(last_script)" ]; }
deadline=$(($(date +%s) + 60))
until started; do
    [ "$(date +%s)" -lt "$deadline" ] || stuck "the session never started"
    [ "$(boxes)" -ge 2 ] && press_box Return
    sleep 0.5
done

# Steps 1 and 2 with a server that takes connections and answers nothing.
kill -STOP "$server_pid"
answer_until SHUT
# Step 3 with the server started again on its port, once the player's client tries again: 30 s
# after its last failure, which came at most its 10 s time-out after step 2's answer.
answered=$(date +%s)
kill -9 "$server_pid"
wait "$server_pid" 2>/dev/null
start_server "$port"
while [ $(($(date +%s) - answered)) -lt 42 ]; do sleep 1; done
answer_until PRIME
# The practical step's task is confirmed; Escape asks to stop, Return says yes; the user list
# comes back once the files are sent.
press_box Return
one_window() { [ "$(boxes)" -eq 1 ]; }
wait_for 10 one_window || stuck "the task box stayed"
press Escape
wait_for 10 list_up || stuck "Stop asked nothing"
press_box Return
# Within the bound the server has taken the files; a box now would say it has not.
sleep 6
[ "$(boxes)" -ge 2 ] && screenshot "$out/after_stop.png"
player_running || { echo "the player ended:"; cat player.log; exit 1; }
stop_player

status=0
gb=DATA/DEMO/GB
# The learner's score file and history: SCO<user>.<group>, HST<user>.<group>.
for f in "$work/course/$gb"/SCO009.001 "$work/course/$gb"/HST009.001; do
    name=$(basename "$f")
    [ -s "$f" ] || { echo "no $name on the player's machine"; status=1; continue; }
    cmp -s "$f" "$work/server/$gb/$name" || { echo "the server's $name differs from the player's"; status=1; }
done
answers=$(grep -c . "$work/course/$gb/HST009.001" 2>/dev/null)
[ "${answers:-0}" -ge 3 ] || { echo "the history holds ${answers:-0} lines, not 3 answers"; status=1; }
local_line=$("$LEARNERS" list "$work/course" --lang GB | grep "Zed Silent")
server_line=$("$LEARNERS" list "$work/server" --lang GB | grep "Zed Silent")
[ "$local_line" = "$server_line" ] ||
    { echo "records differ: here '$local_line', server '$server_line'"; status=1; }
if [ $status -ne 0 ]; then
    cp player.log trace.log "$out/" 2>/dev/null
    ls -l "$work/course/$gb" "$work/server/$gb" >"$out/folders.txt"
    echo "player log, trace log and the folders' listing are in $out"
else
    echo "every answer is on the server: $server_line"
fi
exit $status
