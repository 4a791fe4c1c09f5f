#!/bin/sh
# Makes the demo course's pictures and sounds in the course folder given as $1:
# the background and icon of the product, the splash picture, the language flags, the message
# box icons, the menu bitmaps, and the start, close and lesson-flow sounds.
# Needs ImageMagick (IM) and sox; IM is the ImageMagick convert program to use.
set -eu
course=$1
IM=${IM:-convert}
bmp="$course/BMP"
snd="$course/SND"
mkdir -p "$bmp" "$snd"

# Pictures are written as 24-bit BMP files.
pic() { "$IM" "$@"; }

# The stage: a sky-to-floor gradient with a pipe, a tank, a valve and a pump drawn on it, each
# named as the lesson's tasks name them (the vent cock and the motor are drawn by the scripts).
label="-font /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf ] || label=""
# shellcheck disable=SC2086
pic -size 1008x700 gradient:'#d8ecff'-'#f4f1e8' \
    -fill '#8a9bb0' -draw 'rectangle 0,470 1008,700' \
    -stroke '#345' -strokewidth 3 -fill '#7fa7c9' -draw 'roundrectangle 120,180 300,430 20,20' \
    -fill '#5d87ad' -draw 'rectangle 120,330 300,430' \
    -fill '#b7c3cf' -draw 'rectangle 300,380 760,410' \
    -fill '#c0392b' -draw 'polygon 500,350 540,395 500,440' -draw 'polygon 580,350 540,395 580,440' \
    -fill '#2c3e50' -draw 'rectangle 535,300 545,395' -draw 'rectangle 505,290 575,302' \
    -fill '#27ae60' -draw 'circle 820,395 820,335' -fill '#1e8449' -draw 'circle 820,395 820,370' \
    -stroke none -fill '#2c3e50' $label -pointsize 20 \
    -annotate +196+170 'T1' -annotate +590+330 'V1' -annotate +760+318 'VC1' \
    -annotate +808+492 'P1' -annotate +920+450 'M1' \
    -type TrueColor BMP3:"$bmp/DEMO.BMP"
pic -size 32x32 xc:'#5d87ad' -fill '#27ae60' -draw 'circle 16,16 16,4' "$bmp/DEMO.ICO"

# Splash: a deep blue panel with a lighter band for the two captions.
pic -size 417x292 gradient:'#0b3d6b'-'#3a7cc0' \
    -fill '#ffffff40' -draw 'roundrectangle 136,56 412,208 12,12' \
    -fill '#f1c40f' -draw 'circle 70,146 70,96' -fill '#0b3d6b' -draw 'circle 70,146 70,121' \
    -type TrueColor BMP3:"$bmp/SPLASH.BMP"

# Flags of the two languages.
pic -size 8x16 xc:'#0055a4' -size 8x16 xc:white -size 8x16 xc:'#ef4135' +append \
    -type TrueColor BMP3:"$bmp/FR.BMP"
pic -size 24x16 xc:'#012169' -fill white -draw 'rectangle 9,0 14,15' -draw 'rectangle 0,5 23,10' \
    -fill '#c8102e' -draw 'rectangle 10,0 13,15' -draw 'rectangle 0,6 23,9' \
    -type TrueColor BMP3:"$bmp/GB.BMP"

# Message box icons: error, warning, question, information.
icon() {  # name colour shape
    pic -size 32x32 xc:'#f0f0f0' -fill "$2" -stroke '#333' -draw "$3" \
        -fill white -stroke white -strokewidth 3 -draw "$4" -type TrueColor BMP3:"$bmp/$1.BMP"
}
icon ICOERROR '#d32f2f' 'circle 16,16 16,2' 'line 10,10 22,22 line 22,10 10,22'
icon ICOWARN '#f9a825' 'polygon 16,2 30,29 2,29' 'line 16,11 16,20 point 16,25'
icon ICOQUEST '#1976d2' 'circle 16,16 16,2' 'line 16,19 16,21 point 16,25 line 12,12 16,9 line 16,9 20,12 line 20,12 16,16'
icon ICOINFO '#388e3c' 'circle 16,16 16,2' 'line 16,14 16,25 point 16,9'

# Menu bitmaps (reset, help topics, about).
pic -size 16x16 xc:'#f0f0f0' -fill '#c0392b' -draw 'circle 8,8 8,2' -type TrueColor BMP3:"$bmp/RESET.BMP"
pic -size 16x16 xc:'#f0f0f0' -fill '#1976d2' -draw 'rectangle 3,2 12,13' -type TrueColor BMP3:"$bmp/HELP.BMP"
pic -size 16x16 xc:'#f0f0f0' -fill '#388e3c' -draw 'circle 8,8 8,3' -type TrueColor BMP3:"$bmp/ABOUT.BMP"

# Sounds: short 16-bit PCM tones.
tone() {  # name seconds synth arguments...
    name=$1; shift
    sox -n -r 22050 -b 16 -c 1 -e signed-integer "$snd/$name.WAV" synth "$@" fade 0 0 0.02 vol 0.6
}
tone DEMO 0.6 pluck C4 pluck E4 pluck G4 delay 0 0.15 0.3 remix -
tone GOODBYE 0.5 pluck G4 pluck C4 delay 0 0.2 remix -
tone WARNING 0.25 square 440
tone QUESTION 0.25 sine 660:880
tone ERROR 0.35 square 220
tone INFO 0.2 sine 880
tone CLOSE 0.08 sine 1200
tone EVAL 0.1 sine 1000
tone RIGHT 0.3 sine 880:1320
tone WRONG 0.4 sawtooth 300:150
tone STOP 0.3 sine 600:300
tone EXIT 0.3 sine 500:250

# Sounds of the lesson's scripts: the motor's hum, the alarm horn, liquid filling the tank,
# the crackle of cavitation.
sox -n -r 22050 -b 16 -c 1 -e signed-integer "$snd/MOTOR.WAV" synth 1.5 sawtooth 50 sine 100 \
    remix - lowpass 400 fade 0.2 1.5 0.3 vol 0.5
sox -n -r 22050 -b 16 -c 1 -e signed-integer "$snd/ALARM.WAV" synth 0.25 square 950 \
    pad 0 0.15 repeat 2 vol 0.4
sox -n -r 22050 -b 16 -c 1 -e signed-integer "$snd/FILL.WAV" synth 2.0 brownnoise \
    lowpass 900 tremolo 6 40 fade 0.3 2.0 0.5 vol 0.6
sox -n -r 22050 -b 16 -c 1 -e signed-integer "$snd/GRAVEL.WAV" synth 1.2 whitenoise vol 0.4 \
    tremolo 23 95 highpass 1500 fade 0.05 1.2 0.2
