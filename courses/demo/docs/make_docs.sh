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

for lang in GB FR; do
    mkdir -p "$course/MSG/$lang"
    "$GROFF" -Kutf8 -ms -Tpdf "$here/$lang/TOPICS.ms" >"$course/MSG/$lang/DEMO.PDF"
    for unit in SI US; do
        if [ "$unit" = SI ]; then
            rows=$curve_SI
            set -- "-dFU=L/min" "-dPU=bar" "-dSO=6.2\~bar" "-dDF=120\~L/min" "-dDP=4.2\~bar"
        else
            rows=$curve_US
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
        "$GROFF" -Kutf8 -s -t -ms -Tpdf -I "$work" "$@" "$here/$lang/CURVE.ms" \
            >"$course/MSG/$lang/COMMON/$unit/CURVE.PDF"
    done
done
