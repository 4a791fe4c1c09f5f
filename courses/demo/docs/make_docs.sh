#!/bin/sh
# Makes the demo course's help documents as PDF files with groff, in the course folder given
# as $1: for each language the manual of the lesson (Help > Topics, MSG/<LANG>/DEMO.PDF) and,
# in each unit system, the comment document of the shut-off step
# (MSG/<LANG>/COMMON/<unit>/CURVE.PDF). GROFF is the groff program to use.
set -eu
course=$1
here=$(cd "$(dirname "$0")" && pwd)
GROFF=${GROFF:-groff}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The curve of pump P1: flow and pressure, one row per point, in each unit system.
curve_SI='0 6.2
30 6.0
60 5.6
90 5.0
120 4.2
150 3.5
180 2.5'
curve_US='0 90
8 87
16 81
24 73
32 61
40 51
48 36'

# The curve as a pic graph: axes with their ticks, the curve through the rows, the shut-off
# and duty points. Arguments: rows, x maximum, x step, y maximum, y step, duty x, duty y.
curve_pic() {
    printf '%s\n' "$1" | awk -v xmax="$2" -v xs="$3" -v ymax="$4" -v ys="$5" -v dx="$6" \
        -v dy="$7" '
    BEGIN { n = 0 }
    { x[n] = $1; y[n] = $2; n++ }
    END {
        W = 3.6; H = 1.7
        print ".PS"
        printf "line from (0,0) to (%g,0)\n", W
        printf "line from (0,0) to (0,%g)\n", H
        for (v = 0; v <= xmax; v += xs) {
            X = v / xmax * W
            printf "line from (%g,0) to (%g,-0.05)\n", X, X
            printf "\"\\s-2%d\\s0\" at (%g,-0.16)\n", v, X
        }
        for (v = 0; v <= ymax; v += ys) {
            Y = v / ymax * H
            printf "line dotted from (0,%g) to (%g,%g)\n", Y, W, Y
            printf "\"\\s-2%d\\s0\" rjust at (-0.08,%g)\n", v, Y
        }
        s = "spline thickness 2"
        for (i = 0; i < n; i++)
            s = s sprintf(" %s (%g,%g)", i ? "to" : "from", x[i] / xmax * W, y[i] / ymax * H)
        print s
        printf "circle rad 0.05 filled at (0,%g)\n", y[0] / ymax * H
        printf "\"\\*[SH]\" ljust at (0.1,%g)\n", y[0] / ymax * H + 0.14
        printf "circle rad 0.05 filled at (%g,%g)\n", dx / xmax * W, dy / ymax * H
        printf "\"\\*[DU]\" ljust at (%g,%g)\n", dx / xmax * W + 0.1, dy / ymax * H + 0.14
        printf "\"\\*[XT]\" at (%g,-0.42)\n", W / 2
        printf "\"\\*[YT]\" ljust at (-0.3,%g)\n", H + 0.25
        print ".PE"
    }'
}

for lang in GB FR; do
    mkdir -p "$course/MSG/$lang"
    "$GROFF" -Kutf8 -ms -Tpdf -dpaper=a4 -P-pa4 "$here/$lang/TOPICS.ms" >"$course/MSG/$lang/DEMO.PDF"
    for unit in SI US; do
        if [ "$unit" = SI ]; then
            rows=$curve_SI
            curve_pic "$rows" 180 30 7 1 120 4.2 >"$work/curve.pic"
            set -- "-dFU=L/min" "-dPU=bar" "-dSO=6.2\~bar" "-dDF=120\~L/min" "-dDP=4.2\~bar"
        else
            rows=$curve_US
            curve_pic "$rows" 48 8 100 20 32 61 >"$work/curve.pic"
            gal="gal/min"
            [ "$lang" = FR ] && gal="gal\~US/min"
            set -- "-dFU=$gal" "-dPU=psi" "-dSO=90\~psi" "-dDF=32\~$gal" "-dDP=61\~psi"
        fi
        # Table rows separated by a tab; French writes a decimal comma.
        printf '%s\n' "$rows" | tr ' ' '\t' >"$work/curve.tbl"
        if [ "$lang" = FR ]; then
            sed -i 's/\([0-9]\)\.\([0-9]\)/\1,\2/g' "$work/curve.tbl"
            set -- "$@" "-dSO=$(printf %s "${3#-dSO=}" | tr . ,)" "-dDP=$(printf %s "${5#-dDP=}" | tr . ,)"
        fi
        mkdir -p "$course/MSG/$lang/COMMON/$unit"
        "$GROFF" -Kutf8 -s -p -t -ms -Tpdf -dpaper=a4 -P-pa4 -I "$work" "$@" "$here/$lang/CURVE.ms" \
            >"$course/MSG/$lang/COMMON/$unit/CURVE.PDF"
    done
done
