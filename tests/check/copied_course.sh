#!/bin/sh
# A course copied the author's way: the folder the demo's launcher makes, copied, still starts
# (its link to the player is absolute) and checks clean; a copy of a course whose link is
# relative, as the installed one's, is told to have a dangling link, naming where it points.
#   copied_course.sh COURSECHECK LAUNCHER PLAYER DEMO_COURSE WORK
set -eu
coursecheck=$1 launcher=$2 player=$3 demo=$4 work=$5
rm -rf "$work"
mkdir -p "$work"
XDG_DATA_HOME=$work/data COURSEWARE_DEMO_SOURCE=$demo COURSEWARE_PLAYER=$player \
  sh "$launcher" --folder >/dev/null
cp -a "$work/data/courseware/demo" "$work/copy"
"$coursecheck" "$work/copy" >"$work/out" 2>&1 || { cat "$work/out"; echo "copy of the launcher's folder"; exit 1; }

cp -a "$demo" "$work/installed"
ln -sfn ../../../bin/courseware-player "$work/installed/DEMO"
rc=0
"$coursecheck" "$work/installed" >"$work/out" 2>&1 || rc=$?
grep -q 'DEMO: error: the link DEMO points to ../../../bin/courseware-player, which does not exist' \
  "$work/out" || { cat "$work/out"; echo "dangling link not found (rc $rc)"; exit 1; }
[ "$rc" -eq 1 ] || { echo "exit status $rc, expected 1"; exit 1; }
