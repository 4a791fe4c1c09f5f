#!/bin/sh
# coursecheck, the installed way, on a copy of the demo whose files would block or never end a
# reader: a FIFO for a picture with a mask and a level table, the catalogue linked to a random device, a
# level matrix linked to a zero device, a script followed by a mebibyte of zeros. Each is one
# finding and the run ends (the test's TIMEOUT stands guard; timeout stops a hung run sooner).
#   hostile_folder.sh COURSECHECK DEMO_COURSE WORK
set -eu
coursecheck=$1 demo=$2 work=$3
rm -rf "$work"
mkdir -p "$work"
cp -a "$demo" "$work/course"
c=$work/course
rm -f "$c/BMP/ARROW.BMP" "$c/PRODUCT.DAT" "$c/DATA/CFG/D1LEVEL01.CFG"
mkfifo "$c/BMP/ARROW.BMP"
ln -s /dev/urandom "$c/PRODUCT.DAT"
head -c 1048576 /dev/zero >>"$c/DATA/LDE/D1INTRO"
rc=0
timeout 60 "$coursecheck" "$c" >"$work/out" 2>&1 || rc=$?
grep -q 'PRODUCT.DAT: error: it is a device, not a file' "$work/out" ||
  { cat "$work/out"; echo "catalogue device: rc $rc"; exit 1; }
rm "$c/PRODUCT.DAT"
cp "$demo/PRODUCT.DAT" "$c/PRODUCT.DAT"
ln -s /dev/zero "$c/DATA/CFG/D1LEVEL01.CFG"
rc=0
QT_QPA_PLATFORM=offscreen timeout 60 "$coursecheck" --run-scripts "$c" >"$work/out" 2>&1 || rc=$?
for expected in 'BMP\\ARROW.BMP: error: it is a FIFO' 'D1LEVEL01.CFG: error: it is a device' \
                'D1INTRO: error: .*\[script-argument\]'; do
  grep -q "$expected" "$work/out" || { cat "$work/out"; echo "missing: $expected (rc $rc)"; exit 1; }
done
[ "$rc" -eq 1 ] || { echo "exit status $rc, expected 1"; exit 1; }
