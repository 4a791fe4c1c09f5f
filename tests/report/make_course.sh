#!/bin/sh
# Makes a small course for the report's tests, from scratch, in OUT: one level of four choice
# steps in English, two groups of learners, and sessions played by lessonrun with known answers.
# Usage: make_course.sh OUT MSGC LEARNERS LESSONRUN
#
# Group 1 "Morning shift": 1:1 answers 1 3 2 4, all right, to the end; 1:2 answers step 1
# wrong (2), goes back to it (Prev) and answers it right (1), then step 2 wrong (1) and stops;
# 1:3 never plays. Group 2 "Night <b>shift</b>": 2:1 (a hostile name) answers 2 then 1, both
# wrong, and stops; 2:2 answers 1, right, and stops.
set -eu
out=$1 msgc=$2 learners=$3 lessonrun=$4
rm -rf "$out"
mkdir -p "$out/MSG/GB" "$out/src"

cat >"$out/TEST.INI" <<'INI'
Language=GB
Unit=SI
Evaluate=0
Start=1#1#
IPserv=127.0.0.1
Directory=D1
Flag=-g
Random=
INI
echo '[Test course][X][DATA][TEST.EXE][1100:0800][1][x][GB]' >"$out/PRODUCT.DAT"
echo '[Test course][X][DATA][TEST.EXE][1100:0800][1][x][FR]' >>"$out/PRODUCT.DAT"

cat >"$out/src/COMMON.txt" <<'MSG'
@seed 1957
[0]
English (GB)
[29]
&Quit
[101]
SI
MSG
cat >"$out/src/STEP01.txt" <<'MSG'
@seed 1957
@modulus 1957
[0]
Which valve opens first?
[1]

Suction valve V1
Discharge valve V2
Vent cock VC1
[2]
-
## c1
## c2
## c3
[3]
K[0:0] BR1:0 TRY3:0 PT10 LDES0 F1 P0:[-]
[4]
Where does the liquid leave the impeller?
[5]

Along the shaft
Back into the suction pipe
At the rim, into the casing
[6]
-
## c1
## c2
## c3
[7]
K[0:0] BR3:0 TRY3:0 PT10 LDES0 F2 P0:[-]
[8]
What happens against a closed valve? <script>alert(2)</script>
[9]

The flow rises
The liquid heats up
Nothing
[10]
-
## c1
## c2
## c3
[11]
K[0:0] BR2:0 TRY3:0 PT10 LDES0 F3 P0:[-]
[12]
What do you check first?
[13]

The level in tank T1
The motor's name plate
The suction strainer
The bearing temperature
[14]
-
## c1
## c2
## c3
## c4
[15]
K[0:0] BR4:0 TRY3:0 PT10 LDES0 F4 P0:[-]
MSG
"$msgc" compile "$out/src/COMMON.txt" "$out/MSG/GB/COMMON.MSG"
"$msgc" compile "$out/src/STEP01.txt" "$out/MSG/GB/D1STEP01.MSG"
# The same lesson in French (FR), its first question in French.
mkdir -p "$out/MSG/FR"
sed 's/^English (GB)$/Français (FR)/' "$out/src/COMMON.txt" >"$out/src/COMMON.fr.txt"
sed 's/^Which valve opens first?$/Quelle vanne s’ouvre en premier ?/' "$out/src/STEP01.txt" \
  >"$out/src/STEP01.fr.txt"
"$msgc" compile "$out/src/COMMON.fr.txt" "$out/MSG/FR/COMMON.MSG"
"$msgc" compile "$out/src/STEP01.fr.txt" "$out/MSG/FR/D1STEP01.MSG"
rm -rf "$out/src"

l() { cmd=$1; shift; "$learners" "$cmd" "$out" --lang GB "$@"; }
l init
l add-group --group 1 --name "Morning shift"
l add-group --group 2 --name "Night <b>shift</b>"
l add-user --group 1 --user 1 --name "Alice Martin"
l add-user --group 1 --user 2 --name "Bruno Leroy"
l add-user --group 1 --user 3 --name "Chloé Dubois"
l add-user --group 2 --user 1 --name "<img src=x onerror=f()>"
l add-user --group 2 --user 2 --name "Emma Petit"

play() { u=$1; shift; "$lessonrun" "$out" --user "$u" "$@" >/dev/null 2>&1; }
play 1:1 --answer 1 --answer next --answer 3 --answer next --answer 2 --answer next --answer 4 \
  --answer next
play 1:2 --set "Flag=-g -b" --answer 2 --answer next --answer prev --answer 1 --answer next \
  --answer 1
play 2:1 --answer 2 --answer next --answer 1
play 2:2 --answer 1
# The French learners: the same as the English ones.
cp -R "$out/DATA/TEST/GB" "$out/DATA/TEST/FR"
