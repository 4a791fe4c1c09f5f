#!/bin/sh
# The learner's screen at three displays, each under its own virtual X display: a 1280x720
# projector (the stage scaled down to fit), a 1920x1080 laptop at 150 % (QT_SCALE_FACTOR=1.5,
# the same room in device-independent pixels, drawn with 1.5 times the pixels) and a 4K screen
# at 200 % switched to full screen with F11 (the stage scaled up). The first choice step is
# answered with the key 2 (scripts skipped, -g); the player's trace gives the stage's and the
# controls' places on screen, and the screenshot is measured there: the stage keeps its aspect
# and shows the answer's comment
# and fits the screen (bands beside it when enlarged), the verdict's green is in its own band
# and none of it in the question box, answer 1 reads at a contrast of at least 4.5:1, and the
# chosen answer 2, the right one, is framed in the verdict's dark green. The learner is chosen in the user list (typed, then Enter,
# confirmed); the list and the welcome box are measured on screen: whole on the display, centred
# over the main window, and in full screen larger than their design.
# Usage: screen_scaling.sh <course folder> <screenshot folder> [SIZE FACTOR FULL]
set -u
course=$1
shots=$2
if [ $# -lt 5 ]; then
    status=0
    for combo in "1280x720 1 0" "1920x1080 1.5 0" "3840x2160 2 1"; do
        set -- $combo
        E2E_SCREEN=$1 sh "$0" "$course" "$shots" "$1" "$2" "$3" || status=1
    done
    exit $status
fi
size=$3
factor=$4
full=$5
. "$(dirname "$0")/x_display.sh"

mkdir -p "$shots"
shot="$shots/screen_$size.png"
traced_course_copy "$course" "-w -g"
export QT_SCALE_FACTOR=$factor
start_player player.log
fail() { echo "$size at $factor: $*; screenshot $shot"; exit 1; }
calc() { awk "BEGIN { print $* }"; }
width=${size%x*}
height=${size#*x}

# The last "#screen scale x,y wxh design WxH" line of the trace.
screen_line() { grep '^#screen ' trace.log 2>/dev/null | tail -1; }
tries=0
until [ -n "$(screen_line)" ] && [ -n "$(main_window)" ]; do
    tries=$((tries + 1))
    [ $tries -le 40 ] || fail "the window never showed its stage"
    player_running || { cat player.log; fail "the player ended"; }
    sleep 0.5
done
if [ "$full" = 1 ]; then
    before=$(screen_line)
    press F11
    tries=0
    while [ "$(screen_line)" = "$before" ]; do
        tries=$((tries + 1))
        [ $tries -le 20 ] || fail "F11 did not enlarge the stage"
        sleep 0.5
    done
    sleep 1
fi
# A visible window by its title: "x y w h" in device pixels; keys to it.
place_of() {
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && xdotool getwindowgeometry --shell "$w" 2>/dev/null |
        awk -F= '{ v[$1] = $2 } END { if (v["WIDTH"]) print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }'
}
press_on() {
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && xdotool windowfocus --sync "$w" 2>/dev/null
    shift
    xdotool key "$@"
}
# check_box TITLE DESIGN_WIDTH: the box, once its size settles, is whole on the display and
# centred over the main window; in full screen wider than its design width at this factor.
check_box() {
    tries=0 last="" now=""
    while :; do
        tries=$((tries + 1))
        [ $tries -le 40 ] || fail "the box \"$1\" never settled on screen ($now)"
        now=$(place_of "$1")
        [ -n "$now" ] && [ "$now" = "$last" ] && break
        last=$now
        sleep 0.5
    done
    set -- "$1" "$2" $now $(xdotool getwindowgeometry --shell "$(main_window)" |
        awk -F= '{ v[$1] = $2 } END { print v["X"] + v["WIDTH"] / 2, v["Y"] + v["HEIGHT"] / 2 }')
    [ "$3" -ge 0 ] && [ "$4" -ge 0 ] && [ $(($3 + $5)) -le "$width" ] &&
        [ $(($4 + $6)) -le "$height" ] || fail "the box \"$1\" ${5}x$6+$3+$4 leaves the screen"
    off=$(calc "sqrt(($3 + $5 / 2 - $7) ^ 2 + ($4 + $6 / 2 - $8) ^ 2)")
    above 4 "$off" || fail "the box \"$1\" ${5}x$6+$3+$4 is $off pixels off the window's centre"
    if [ "$full" = 1 ]; then
        above "$5" "$(calc "$2 * $factor * 1.3")" ||
            fail "the box \"$1\" is ${5} pixels wide in full screen, its design $2 at $factor"
    fi
    echo "$size at $factor: \"$1\" ${5}x$6 at $3,$4, centred within $off pixels"
}

# The user list (600 pixels wide at design): learner Bruno is typed, chosen and confirmed; the
# welcome box of a new learner is at least 281 wide at design.
check_box "Choose a learner" 600
press_on "Choose a learner" b Return
tries=0
until [ -n "$(place_of "Morning shift")" ]; do
    tries=$((tries + 1))
    [ $tries -le 20 ] || fail "choosing a learner asked nothing"
    sleep 0.5
done
press_on "Morning shift" Return
check_box "Welcome" 281
press_on "Welcome" Return

# Answer 2 once the step offers its answers; boxes (a script's question) are confirmed.
tries=0
until grep -q '^#verdict ' trace.log; do
    tries=$((tries + 1))
    [ $tries -le 60 ] || fail "the choice step never took the answer"
    if [ "$(windows | wc -l)" -ge 2 ]; then press_box Return; else press 2; fi
    sleep 0.5
done
sleep 1
screenshot "$shot"

# Device pixels of a place "x,y wxh" given in device-independent ones.
read_rect() {  # NAME LINE -> prints "x y w h" in device pixels
    echo "$2" | awk -v n="$1" -v f="$factor" '{
        for (i = 1; i < NF; i++) if ($i == n) {
            split($(i + 1), p, ","); split($(i + 2), s, "x");
            printf "%d %d %d %d\n", p[1] * f, p[2] * f, s[1] * f, s[2] * f; exit } }'
}
crop() { echo "$3x$4+$1+$2"; }
screen=$(screen_line)
scale=$(echo "$screen" | cut -d' ' -f2)
set -- $(echo "$screen" | awk -v f="$factor" '{
    split($3, p, ","); split($4, s, "x"); split($6, d, "x");
    printf "%d %d %d %d %d %d\n", p[1] * f, p[2] * f, s[1] * f, s[2] * f, d[1], d[2] }')
sx=$1 sy=$2 sw=$3 sh=$4 dw=$5 dh=$6

# The stage: its aspect, on screen whole, scaled down on the small screen, up in full screen.
aspect_error=$(calc "sqrt((($sw / $sh) / ($dw / $dh) - 1) ^ 2)")
above 0.015 "$aspect_error" ||
    fail "the stage's aspect changed: ${sw}x$sh shown for ${dw}x$dh"
[ "$sx" -ge 0 ] && [ "$sy" -ge 0 ] && [ $((sx + sw)) -le "$width" ] &&
    [ $((sy + sh)) -le "$height" ] || fail "the stage ${sw}x$sh+$sx+$sy leaves the screen"
if [ "$full" = 1 ]; then
    above "$scale" 1.3 || fail "full screen shows the stage at scale $scale"
    # Bands of black beside the stage, as wide on both sides.
    mid=$((sy + sh / 2))
    [ "$(shot_pixel "$shot" $((sx - 3)),$mid)" = 000000 ] &&
        [ "$(shot_pixel "$shot" $((sx + sw + 2)),$mid)" = 000000 ] ||
        fail "no bands beside the enlarged stage"
    [ $((sx + sx + sw - width)) -le 4 ] && [ $((width - sx - sx - sw)) -le 4 ] ||
        fail "the stage is not centred: ${sw} wide at $sx on $width"
else
    above 1 "$scale" || fail "the stage is not scaled down to fit: scale $scale"
fi
# The answer's comment in the aqua info panel, on the stage.
aqua=$("$CONVERT" "$shot" -crop "$(crop $sx $sy $sw $sh)" +repage -fuzz 8% -fill black \
    +opaque '#00ffff' -fill white -opaque '#00ffff' -colorspace Gray -format '%[fx:mean]' info:)
above "$aqua" 0.01 || fail "the stage does not show the comment's panel (aqua $aqua)"

# The verdict's green: in its band, none in the question box.
verdict_line=$(grep '^#verdict ' trace.log | tail -1)
count_in() {  # COLOUR x y w h: pixels within 15 % of the colour
    "$CONVERT" "$shot" -crop "$(crop $2 $3 $4 $5)" +repage -fuzz 15% -fill black +opaque "$1" \
        -fill white -opaque "$1" -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}
in_band=$(count_in '#00ff00' $(read_rect verdict "$verdict_line"))
in_question=$(count_in '#00ff00' $(read_rect question "$verdict_line"))
[ "$in_band" -ge 20 ] || fail "the verdict band shows no green verdict ($in_band pixels)"
[ "$in_question" -eq 0 ] || fail "$in_question green verdict pixels over the question"
set -- $(read_rect verdict "$verdict_line") $(read_rect question "$verdict_line")
[ $(($2 + $4)) -le "$6" ] || [ $(($6 + $8)) -le "$2" ] ||
    fail "the verdict band $3x$4+$1+$2 overlaps the question box $7x$8+$5+$6"

# Answer 1: darkest text against its lightest background, as WCAG computes luminance.
set -- $(read_rect answer1 "$verdict_line")
[ $# -eq 4 ] || fail "no place for answer 1 in the trace"
contrast=$("$CONVERT" "$shot" -crop "$(crop $1 $2 $3 $4)" +repage \
    -grayscale Rec709Luminance -format '%[fx:minima] %[fx:maxima]' info: |
    awk '{ print ($2 + 0.05) / ($1 + 0.05) }')
above "$contrast" 4.5 || fail "answer 1 reads at a contrast of only $contrast:1"
# The chosen answer 2, right, is framed in the verdict's dark green.
mark=$(count_in '#006400' $(read_rect answer2 "$verdict_line"))
[ "$mark" -ge 30 ] || fail "the chosen answer is not framed in green ($mark pixels)"
echo "$size at $factor: stage ${sw}x$sh at scale $scale, verdict $in_band green pixels" \
     "apart from the question, answer 1 at $contrast:1, answer 2 marked ($mark green pixels)"
