#!/bin/sh
# Makes the demo course's learners for one language with the learners tool, from scratch:
# two groups, five users (one with a password, one allowed to configure, one who finished the
# lesson, one half-way through it).
# Usage: make_learners.sh LEARNERS COURSE LANG LESSONRUN
# The finished and the begun lessons are played by the player's own lesson flow (lessonrun,
# scripts skipped), leaving real score, history and context files.
set -eu
tool=$1 course=$2 lang=$3 lessonrun=$4
dir=$course/DATA/DEMO/$lang
mkdir -p "$dir"
rm -f "$dir"/GROUP.* "$dir"/USERS.*
l() { cmd=$1; shift; "$tool" "$cmd" "$course" --lang "$lang" "$@"; }

l init
if [ "$lang" = FR ]; then
  l add-group --group 1 --name "Équipe du matin"
  l add-group --group 2 --name "Équipe de nuit"
else
  l add-group --group 1 --name "Morning shift"
  l add-group --group 2 --name "Night shift"
fi
l add-user --group 1 --user 1 --name "Alice Martin" --password valve
l add-user --group 1 --user 2 --name "Bruno Leroy" --may-configure
l add-user --group 1 --user 3 --name "Chloé Dubois"
l add-user --group 2 --user 1 --name "David Moreau"
l add-user --group 2 --user 2 --name "Emma Petit"
# 1:3 plays the whole lesson; 2:1 answers the first step and stops at the second.
"$lessonrun" "$course" --user 1:3 --lang "$lang" --set Flag=-g --auto >/dev/null
"$lessonrun" "$course" --user 2:1 --lang "$lang" --set Flag=-g --answer 1 >/dev/null
