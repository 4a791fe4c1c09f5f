#!/bin/sh
# Makes a course at the demo's size and a large one with make_course.py, runs the benchmarks on
# both and prints one table: each figure at the demo's size, at the large size, their ratio and
# the ratio of the sizes that figure should follow, with the large size's goal where there is
# one. Figures are medians of a few runs of wall time, on whatever else the machine is doing.
#   bench/large/run.sh [BUILD] [WORK]
# BUILD is a Release build tree with PLAYER_BENCH=ON and its demo course built (build-bench);
# WORK (/tmp/large_bench) keeps both courses, made again only when the parameters change. The
# large size comes from LEVELS (2), STEPS (500), LANGUAGES (6), SCRIPTS (300), PICTURES (1000),
# LEARNERS (2000); RUNS (3) runs of each figure.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build-bench}" && pwd)
work=${2:-/tmp/large_bench}
runs=${RUNS:-3}
large="--levels ${LEVELS:-2} --steps ${STEPS:-500} --languages ${LANGUAGES:-6}
  --scripts ${SCRIPTS:-300} --pictures ${PICTURES:-1000} --learners ${LEARNERS:-2000}"
small="--levels 1 --steps 10 --languages 2 --scripts 10 --pictures 30 --learners 5 --played 1"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
mkdir -p "$work"

# make NAME ARGS...: the course $work/NAME, made again when its parameters changed.
make() {
  name=$1
  shift
  if [ "$(cat "$work/$name.args" 2>/dev/null)" != "$*" ] || [ ! -d "$work/$name" ]; then
    echo "making the $name course ($*)" >&2
    python3 "$here/make_course.py" --build "$build" --out "$work/$name" "$@" >&2
    echo "$*" >"$work/$name.args"
  fi
}
# shellcheck disable=SC2086
make demo $small
# shellcheck disable=SC2086
make large $large

# median: the middle of the numbers on stdin.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# ms COMMAND...: the milliseconds a command takes.
ms() {
  s=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "run.sh: failed: $*" >&2; exit 1; }
  echo $((($(date +%s%N) - s) / 1000000))
}
# runs N COMMAND...: the median milliseconds of N runs.
runs() {
  n=$1
  shift
  i=0
  while [ $i -lt "$n" ]; do ms "$@"; i=$((i + 1)); done | median
}
# field FILE ROW COLUMN: a number from a benchmark's table (the row starting with ROW).
field() { grep -F "$2" "$1" | head -1 | awk -v c="$3" '{ print $(NF - c) }'; }
# check FILE ROW: the median of a row of check_bench's table.
check() { grep -F "$2" "$1" | head -1 | awk '{ print $4 }'; }

# Each benchmark once per course, its output kept.
for c in demo large; do
  course=$work/$c
  "$build/bench/check/check_bench" "$course" "$runs" >"$work/$c.check" 2>&1 ||
    { cat "$work/$c.check" >&2; exit 1; }
  "$build/bench/lesson/lesson_bench" "$runs" "$course" >"$work/$c.lesson" 2>&1 ||
    { cat "$work/$c.lesson" >&2; exit 1; }
  report=$build/tools/coursereport/coursereport
  ms "$report" summary "$course" --lang GB --json >"$work/$c.report_cold"
  runs "$runs" "$report" summary "$course" --lang GB --json >"$work/$c.report_warm"
  # Every message source of the course compiled again, into a scratch folder.
  rm -rf "$work/msgc" && mkdir -p "$work/msgc"
  compile_all() {
    while read -r src out; do
      "$build/tools/msgc/msgc" compile "$course/$src" "$work/msgc/$(echo "$out" | tr / _)" ||
        return 1
    done <"$course/src/msg/list"
  }
  runs "$runs" compile_all >"$work/$c.msgc"
  wc -l <"$course/src/msg/list" >"$work/$c.texts"
  "$build/bench/data/dataserver_bench" --fetch "$course" --runs 20 >"$work/$c.fetch" 2>&1 ||
    { cat "$work/$c.fetch" >&2; exit 1; }
  # The main window under Xvfb when there is one: the start, the Next of steps 1 to 3.
  window() {
    if command -v xvfb-run >/dev/null; then
      env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
        "$build/bench/shell/window_bench" 1 window "$course"
    else
      "$build/bench/shell/window_bench" 1 window "$course"
    fi
  }
  window >"$work/$c.window" 2>&1 || { cat "$work/$c.window" >&2; exit 1; }
done

steps_demo=10
steps_large=$((${LEVELS:-2} * ${STEPS:-500}))
level_ratio=$((${STEPS:-500} / 10))
texts_ratio=$(awk "BEGIN { printf \"%.0f\", $(cat "$work/large.texts") / $(cat "$work/demo.texts") }")
learners_ratio=$((${LEARNERS:-2000} / 5))

printf '%-44s %10s %10s %8s %8s %10s\n' "figure (median ms)" demo large ratio size goal
row() {
  awk -v n="$1" -v d="$2" -v l="$3" -v s="$4" -v g="$5" 'BEGIN {
    printf "%-44s %10.2f %10.2f %8.1f %8s %10s\n", n, d, l, (d > 0 ? l / d : 0), s, g }'
}
row "player start to user list shown" "$(field "$work/demo.window" "start to user list" 1)" \
  "$(field "$work/large.window" "start to user list" 1)" "$learners_ratio" 1000
row "Next to next question painted, step 1" "$(field "$work/demo.window" "Next at step 1" 1)" \
  "$(field "$work/large.window" "Next at step 1" 1)" 1 16
row "Next to next question painted, step 2" "$(field "$work/demo.window" "Next at step 2" 1)" \
  "$(field "$work/large.window" "Next at step 2" 1)" 1 16
row "coursecheck files only" "$(check "$work/demo.check" "files only")" \
  "$(check "$work/large.check" "files only")" "$((steps_large / steps_demo))" 5000
row "coursecheck with scripts" "$(check "$work/demo.check" "with --run-scripts")" \
  "$(check "$work/large.check" "with --run-scripts")" "$((steps_large / steps_demo))" 60000
row "lessonrun --auto, a whole level (process)" \
  "$(field "$work/demo.lesson" "lessonrun --auto process" 1)" \
  "$(field "$work/large.lesson" "lessonrun --auto process" 1)" "$level_ratio" 10000
row "a whole level in process" "$(field "$work/demo.lesson" "whole level in process" 1)" \
  "$(field "$work/large.lesson" "whole level in process" 1)" "$level_ratio" -
row "answer + Next, first step (headless)" "$(field "$work/demo.lesson" "first step" 1)" \
  "$(field "$work/large.lesson" "first step" 1)" 1 -
row "answer + Next, last step (headless)" "$(field "$work/demo.lesson" "step 10" 1)" \
  "$(field "$work/large.lesson" "step ${STEPS:-500}" 1)" 1 -
row "answer + Next, worst step (headless)" "$(field "$work/demo.lesson" "every step" 0)" \
  "$(field "$work/large.lesson" "every step" 0)" 1 -
row "coursereport summary, first run" "$(cat "$work/demo.report_cold")" \
  "$(cat "$work/large.report_cold")" "$learners_ratio" -
row "coursereport summary, again" "$(cat "$work/demo.report_warm")" \
  "$(cat "$work/large.report_warm")" "$learners_ratio" -
row "msgc compile of all texts ($(cat "$work/demo.texts")/$(cat "$work/large.texts") files)" \
  "$(cat "$work/demo.msgc")" "$(cat "$work/large.msgc")" "$texts_ratio" -
row "server start-up fetch of GROUP/USERS" "$(field "$work/demo.fetch" "learner records" 1)" \
  "$(field "$work/large.fetch" "learner records" 1)" "$learners_ratio" -
