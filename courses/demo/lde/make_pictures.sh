#!/bin/sh
# Makes the pictures the demo's lesson scripts use, in the course folder given as $1: the flow
# arrow and its mask, the digit font of the flow meter, the pump lamp, and the valve wheel's
# picture series. Needs ImageMagick (IM is the convert program to use).
set -eu
course=$1
IM=${IM:-convert}
bmp="$course/BMP"
mkdir -p "$bmp/MASK"
font=/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf
[ -f "$font" ] || font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
fontarg=""
[ -f "$font" ] && fontarg="-font $font"

# The arrow: drawn on black (the mask shows what is transparent in white).
"$IM" -size 48x24 xc:black -fill '#f39c12' -draw 'polygon 0,7 30,7 30,0 47,12 30,23 30,16 0,16' \
    -type TrueColor BMP3:"$bmp/ARROW.BMP"
"$IM" -size 48x24 xc:white -fill black -draw 'polygon 0,7 30,7 30,0 47,12 30,23 30,16 0,16' \
    -type TrueColor BMP3:"$bmp/MASK/ARROW.BMP"

# Digit font: DIGIT0..DIGIT9, DIGIT# (the point), DIGIT- and the blank DIGIT.
digit() {  # suffix text
    # shellcheck disable=SC2086
    "$IM" -size 16x24 xc:'#102018' -fill '#39ff7a' $fontarg -pointsize 20 -gravity center \
        -annotate 0 "$2" -type TrueColor BMP3:"$bmp/DIGIT$1.BMP"
}
for d in 0 1 2 3 4 5 6 7 8 9; do digit "$d" "$d"; done
digit '#' '.'
digit '-' '-'
"$IM" -size 16x24 xc:'#102018' -type TrueColor BMP3:"$bmp/DIGIT.BMP"

# The pump lamp.
"$IM" -size 24x24 xc:'#27ae60' -fill '#f1c40f' -draw 'circle 12,12 12,3' \
    -type TrueColor BMP3:"$bmp/LAMP.BMP"

# The valve wheel and its series WHEEL#00..WHEEL#03 (a spoke turning).
wheel() {  # file angle
    "$IM" -size 56x56 xc:'#f4f1e8' -stroke '#2c3e50' -strokewidth 5 -fill none \
        -draw 'circle 28,28 28,6' -draw "rotate $2 line -22,0 22,0" \
        -type TrueColor BMP3:"$bmp/$1.BMP"
}
wheel WHEEL 0
# Its mask: the wheel's disc, so that the corners show the stage behind it.
"$IM" -size 56x56 xc:white -fill black -draw 'circle 28,28 28,1' \
    -type TrueColor BMP3:"$bmp/MASK/WHEEL.BMP"
i=0
for a in 0 45 90 135; do
    wheel "WHEEL#0$i" "$a"
    i=$((i + 1))
done

# ---- The lesson's stages: four more backgrounds of the same style as DEMO.BMP ----------------
label="-font /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf ] || label=""
sky="gradient:#d8ecff-#f4f1e8"

# PUMPCUT: a centrifugal pump cut open, suction pipe from the left into the impeller eye,
# discharge nozzle leaving the volute at the top, shaft and motor on the right.
# shellcheck disable=SC2086
"$IM" -size 1008x700 "$sky" \
    -fill '#8a9bb0' -draw 'rectangle 0,500 1008,700' \
    -stroke '#345' -strokewidth 3 \
    -fill '#b7c3cf' -draw 'rectangle 0,300 190,344' -draw 'rectangle 330,120 1008,164' \
    -fill '#9fb3c8' -draw 'circle 340,322 340,152' \
    -fill '#cfe3f5' -draw 'circle 340,322 340,190' \
    -fill '#b7c3cf' -draw 'rectangle 510,312 650,332' \
    -fill '#95a5a6' -draw 'rectangle 560,292 600,352' \
    -fill '#2e7d32' -draw 'roundrectangle 650,250 890,400 14,14' \
    -fill '#1b5e20' -draw 'rectangle 670,400 870,440' \
    -fill '#546e7a' -draw 'rectangle 300,470 720,500' \
    -stroke none -fill '#2c3e50' $label -pointsize 22 \
    -annotate +330+110 'P1' -annotate +740+240 'M1' -annotate +548+284 'B1' \
    -type TrueColor BMP3:"$bmp/PUMPCUT.BMP"

# LINE: tank T1, suction valve V1, pump P1 with motor M1, discharge up to valve V2, pressure
# gauge PI-1 and the flow meter FI-1 on the discharge line.
# shellcheck disable=SC2086
"$IM" -size 1008x700 "$sky" \
    -fill '#8a9bb0' -draw 'rectangle 0,470 1008,700' \
    -stroke '#345' -strokewidth 3 \
    -fill '#7fa7c9' -draw 'roundrectangle 40,150 200,430 16,16' \
    -fill '#5d87ad' -draw 'rectangle 40,270 200,430' \
    -fill '#b7c3cf' -draw 'rectangle 200,380 410,410' -draw 'rectangle 435,230 465,350' \
    -draw 'rectangle 435,215 1008,245' -draw 'line 560,170 560,215' \
    -fill '#c0392b' -draw 'polygon 280,365 300,395 280,425' -draw 'polygon 320,365 300,395 320,425' \
    -draw 'polygon 680,200 700,230 680,260' -draw 'polygon 720,200 700,230 720,260' \
    -fill '#2c3e50' -draw 'rectangle 297,330 303,395' -draw 'rectangle 697,170 703,230' \
    -fill '#27ae60' -draw 'circle 450,395 450,345' -fill '#1e8449' -draw 'circle 450,395 450,375' \
    -fill '#607d8b' -draw 'rectangle 500,370 610,420' \
    -fill white -draw 'circle 560,140 560,110' \
    -fill '#34495e' -draw 'roundrectangle 820,170 930,210 6,6' \
    -stroke none -fill '#2c3e50' $label -pointsize 20 \
    -annotate +100+140 'T1' -annotate +286+450 'V1' -annotate +435+470 'P1' \
    -annotate +540+450 'M1' -annotate +686+290 'V2' -annotate +526+100 'PI-1' \
    -annotate +846+160 'FI-1' \
    -type TrueColor BMP3:"$bmp/LINE.BMP"

# TANK: a storage tank with a level scale from 0 to 100 %, its filling pipe at the top.
ticks=""
marks=""
for p in 0 10 20 30 40 50 60 70 80 90 100; do
    y=$((520 - p * 4))
    ticks="$ticks -draw 'line 300,$y 318,$y'"
    marks="$marks -annotate +326+$((y + 7)) '$p'"
done
# shellcheck disable=SC2086
eval "\"$IM\" -size 1008x700 \"$sky\" \
    -fill '#8a9bb0' -draw 'rectangle 0,560 1008,700' \
    -stroke '#345' -strokewidth 3 -fill '#b7c3cf' -draw 'rectangle 150,40 700,70' \
    -draw 'rectangle 150,40 180,118' -fill '#eef3f7' -draw 'rectangle 60,118 300,522' \
    -fill '#2c3e50' -draw 'rectangle 60,522 300,540' \
    -stroke '#2c3e50' -strokewidth 2 $ticks -stroke none -fill '#2c3e50' $label -pointsize 16 \
    $marks -pointsize 22 -annotate +160+100 'T1' -annotate +320+100 '%' \
    -type TrueColor BMP3:\"$bmp/TANK.BMP\""

# BOARD: the control room panel: a mimic strip of the line at the top, the annunciator and
# lamps on the left, room for a dial gauge on the right.
# shellcheck disable=SC2086
"$IM" -size 1008x700 xc:'#cfd8dc' \
    -fill '#90a4ae' -draw 'rectangle 0,560 1008,700' \
    -stroke '#37474f' -strokewidth 3 -fill '#eceff1' -draw 'roundrectangle 30,30 978,530 18,18' \
    -fill '#263238' -draw 'rectangle 60,60 948,110' \
    -stroke '#80cbc4' -strokewidth 6 -draw 'line 90,85 860,85' \
    -stroke '#37474f' -strokewidth 3 -fill '#80cbc4' -draw 'circle 300,85 300,70' \
    -draw 'polygon 560,72 580,85 560,98' -draw 'polygon 600,72 580,85 600,98' \
    -fill '#b0bec5' -draw 'roundrectangle 70,150 330,500 10,10' \
    -fill '#b0bec5' -draw 'roundrectangle 600,140 950,500 10,10' \
    -stroke none -fill '#263238' $label -pointsize 20 \
    -annotate +284+130 'P1' -annotate +566+130 'V2' -annotate +100+185 'P1' \
    -annotate +630+175 'PI-1' \
    -type TrueColor BMP3:"$bmp/BOARD.BMP"

# ---- Moving parts -----------------------------------------------------------------------------
# The impeller IMPEL#00..#03: six vanes turning by a quarter of their pitch per picture.
impel() {  # file angle
    "$IM" -size 150x150 xc:'#cfe3f5' -stroke '#34495e' -strokewidth 7 -fill none \
        -draw "translate 75,75 rotate $2 line 0,-18 0,-66 rotate 60 line 0,-18 0,-66 \
               rotate 60 line 0,-18 0,-66 rotate 60 line 0,-18 0,-66 \
               rotate 60 line 0,-18 0,-66 rotate 60 line 0,-18 0,-66" \
        -strokewidth 4 -fill '#7f8c8d' -draw 'circle 75,75 75,57' \
        -fill '#2c3e50' -draw 'circle 75,75 75,67' \
        -type TrueColor BMP3:"$bmp/$1.BMP"
}
impel IMPEL 0
i=0
for a in 0 15 30 45; do
    impel "IMPEL#0$i" "$a"
    i=$((i + 1))
done

# A vapour bubble, drawn through its mask.
"$IM" -size 14x14 xc:black -fill '#ffffff' -stroke '#5dade2' -draw 'circle 7,7 7,1' \
    -type TrueColor BMP3:"$bmp/BUBBLE.BMP"
"$IM" -size 14x14 xc:white -fill black -draw 'circle 7,7 7,1' \
    -type TrueColor BMP3:"$bmp/MASK/BUBBLE.BMP"

# The annunciator tile of the bearing temperature (a thermometer).
"$IM" -size 120x70 xc:'#e53935' -stroke '#7f0000' -strokewidth 3 -fill none \
    -draw 'rectangle 1,1 118,68' -stroke white -strokewidth 6 -draw 'line 60,14 60,44' \
    -fill white -draw 'circle 60,52 60,44' -strokewidth 2 -draw 'line 66,20 72,20' \
    -draw 'line 66,28 72,28' -draw 'line 66,36 72,36' \
    -type TrueColor BMP3:"$bmp/ALARMT.BMP"

# The liquid in the tank: its height follows the level.
"$IM" -size 236x400 xc:'#2e86c1' -fill '#5dade2' -draw 'rectangle 0,0 235,6' \
    -type TrueColor BMP3:"$bmp/LEVEL.BMP"

# The body of suction valve V1 below its handwheel (as DEMO.BMP draws it at 500,320), so that
# the whole valve, not only the wheel, opens V1's menu; its mask keeps the stage around it.
# Drawn on the stage's sky and pipe at that place, so that it shows the same with or without
# its mask.
"$IM" -size 81x121 gradient:'#e5eef5'-'#eaeff1' -stroke '#345' -strokewidth 3 \
    -fill '#b7c3cf' -draw 'rectangle -5,60 86,90' -fill '#c0392b' \
    -draw 'polygon 0,30 40,75 0,120' -draw 'polygon 80,30 40,75 80,120' \
    -fill '#2c3e50' -draw 'rectangle 35,0 45,75' -type TrueColor BMP3:"$bmp/VBODY.BMP"
"$IM" -size 81x121 xc:white -stroke black -strokewidth 3 -fill black \
    -draw 'polygon 0,30 40,75 0,120' -draw 'polygon 80,30 40,75 80,120' \
    -draw 'rectangle 35,0 45,75' -type TrueColor BMP3:"$bmp/MASK/VBODY.BMP"

# The vent cock on top of the pump casing and the motor of the priming step.
"$IM" -size 24x30 xc:'#f4f1e8' -fill '#7f8c8d' -stroke '#2c3e50' -draw 'rectangle 8,10 16,29' \
    -fill '#c0392b' -draw 'rectangle 2,4 22,10' -type TrueColor BMP3:"$bmp/VENT.BMP"
"$IM" -size 24x30 xc:white -fill black -draw 'rectangle 8,10 16,29' -draw 'rectangle 2,4 22,10' \
    -type TrueColor BMP3:"$bmp/MASK/VENT.BMP"
"$IM" -size 90x70 xc:'#2e7d32' -stroke '#1b5e20' -strokewidth 3 -fill none \
    -draw 'rectangle 1,1 88,68' -draw 'line 15,14 15,56' -draw 'line 30,14 30,56' \
    -draw 'line 45,14 45,56' -draw 'line 60,14 60,56' -draw 'line 75,14 75,56' \
    -type TrueColor BMP3:"$bmp/MOTOR.BMP"
# The direction-of-rotation arrow shown on the motor, through its mask.
"$IM" -size 44x44 xc:black -stroke '#f1c40f' -strokewidth 6 -fill none -draw 'arc 6,6 38,38 200 480' \
    -stroke none -fill '#f1c40f' -draw 'polygon 30,2 42,12 28,18' -type TrueColor BMP3:"$bmp/ROTARR.BMP"
"$IM" -size 44x44 xc:white -stroke black -strokewidth 6 -fill none -draw 'arc 6,6 38,38 200 480' \
    -stroke none -fill black -draw 'polygon 30,2 42,12 28,18' -type TrueColor BMP3:"$bmp/MASK/ROTARR.BMP"

# The dual-scale pressure gauge NEEDLE#00..#06: 0 to 10 bar outside, 0 to 145 psi inside, the
# needle at 0, 10, ... 60 % of the scale (270 degrees from the lower left).
dial() {  # file percent
    marks=$(awk -v p="$2" 'BEGIN {
        pi = atan2(0, -1); cx = 130; cy = 130
        for (i = 0; i <= 10; i++) {
            a = (135 + i * 27) * pi / 180
            printf " -stroke \"#263238\" -draw \"line %d,%d %d,%d\" -stroke none",
                   cx + 104 * cos(a), cy + 104 * sin(a), cx + 118 * cos(a), cy + 118 * sin(a)
            if (i % 2 == 0) {
                printf " -fill \"#263238\" -pointsize 15 -annotate +%d+%d \"%d\"",
                       cx + 88 * cos(a) - 5 * (i >= 10 ? 2 : 1), cy + 88 * sin(a) + 6, i
                printf " -fill \"#1565c0\" -pointsize 11 -annotate +%d+%d \"%d\"",
                       cx + 56 * cos(a) - 9, cy + 56 * sin(a) + 4, i * 14.5
            }
        }
        a = (135 + p * 2.7) * pi / 180
        printf " -stroke \"#c0392b\" -strokewidth 5 -draw \"line %d,%d %d,%d\"",
               cx - 16 * cos(a), cy - 16 * sin(a), cx + 100 * cos(a), cy + 100 * sin(a)
    }')
    eval "\"$IM\" -size 260x260 xc:'#b0bec5' -stroke '#37474f' -strokewidth 6 -fill white \
        -draw 'circle 130,130 130,8' -strokewidth 2 $label $marks \
        -stroke none -fill '#263238' -pointsize 13 -annotate +112+196 'bar' \
        -fill '#1565c0' -annotate +114+176 'psi' -fill '#263238' -draw 'circle 130,130 130,120' \
        -type TrueColor BMP3:\"$bmp/$1.BMP\""
}
dial NEEDLE 0
for i in 0 1 2 3 4 5 6; do dial "NEEDLE#0$i" $((i * 10)); done

# The arrow pointing left (liquid coming back along the filling pipe) and its mask.
"$IM" "$bmp/ARROW.BMP" -flop -type TrueColor BMP3:"$bmp/ARROWL.BMP"
"$IM" "$bmp/MASK/ARROW.BMP" -flop -type TrueColor BMP3:"$bmp/MASK/ARROWL.BMP"

# Unit plates beside the number displays, one per unit system: the scripts pick them by the
# learner's unit setting.
plate() {  # file text
    # shellcheck disable=SC2086
    "$IM" -size 64x24 xc:'#102018' -fill '#39ff7a' $label -pointsize 14 -gravity center \
        -annotate 0 "$2" -type TrueColor BMP3:"$bmp/$1.BMP"
}
plate UBAR 'bar'
plate UPSI 'psi'
plate ULPM 'L/min'
plate UGPM 'gal/min'
plate UDEGC "$(printf '\302\260C')"
plate UDEGF "$(printf '\302\260F')"
