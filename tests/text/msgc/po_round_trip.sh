#!/bin/sh
# msgc po-export and po-import on a copy of the demo course, checked with gettext's own tools:
# an unchanged round trip keeps every message file byte for byte, three changed entries change
# three texts, each kind of bad entry is refused with its PO line, and a new language made from
# marked GB texts checks clean and plays headless.
set -eu
msgc=$1 coursecheck=$2 lessonrun=$3 learners=$4 demo=$5 work=$6 marker=$7
msgfmt=$8 msgmerge=$9 python3=${10}
rm -rf "$work"
mkdir -p "$work"
course=$work/course
cp -a "$demo" "$course"
cp -a "$course" "$work/orig"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Round trip, both directions: no file of either language changes.
"$msgc" po-export "$course" --from GB --lang FR -o "$work/fr.po"
"$msgc" po-export "$course" --from FR --lang GB -o "$work/gb.po"
for po in fr gb; do
  "$msgfmt" --check --check-format -o /dev/null "$work/$po.po" || fail "msgfmt rejects $po.po"
  "$msgmerge" -q -o "$work/$po.merged.po" "$work/$po.po" "$work/$po.po" || fail "msgmerge $po.po"
done
"$msgc" po-import "$course" --lang FR "$work/fr.po" >/dev/null
"$msgc" po-import "$course" --lang GB "$work/gb.po" >/dev/null
# The merged file (gettext's layout and line wrapping) imports to the same bytes too.
"$msgc" po-import "$course" --lang FR "$work/fr.merged.po" >/dev/null
diff -r "$work/orig/MSG" "$course/MSG" || fail "an unchanged round trip changed files"

# The raw texts of every FR file, one JSON line per text.
dump_fr() { for f in "$course"/MSG/FR/*.MSG "$course"/MSG/FR/*.CNV; do
  "$msgc" dump "$f" --raw | sed "s|^|$(basename "$f") |"; done; }
dump_fr > "$work/before.txt"
# Three entries changed: two in COMMON, one step question.
sed -e 's/^msgstr "Cours de démonstration"$/msgstr "Cours de démo"/' \
    -e 's/^msgstr "%1 - version %2.%3"$/msgstr "%1, version %2.%3"/' "$work/fr.po" > "$work/fr3.po"
awk 'BEGIN{c=0} /^msgctxt "D1STEP01.MSG 0"$/{c=1} c==1 && /^msgstr/{print "msgstr \"Quelle grandeur le compteur FI-1 affiche-t-il ?\""; c=2; skip=1; next}
     skip==1 && /^"/{next} {skip=0; print}' "$work/fr3.po" > "$work/fr3b.po"
"$msgc" po-import "$course" --lang FR "$work/fr3b.po" > "$work/import3.out"
grep -q '^msgc: 3 texts changed in 2 files' "$work/import3.out" || fail "$(cat "$work/import3.out")"
dump_fr > "$work/after.txt"
[ "$(diff "$work/before.txt" "$work/after.txt" | grep -c '^>')" = 3 ] || fail "not three texts changed"
"$msgfmt" --check-format -o /dev/null "$work/fr3b.po" || fail "msgfmt rejects the changed PO"
"$coursecheck" "$course" --lang FR > "$work/check_fr.out" || fail "$(cat "$work/check_fr.out")"
QT_QPA_PLATFORM=offscreen PLAYER_SOUND=silent \
  "$lessonrun" "$course" --user 1:1 --lang FR --auto > "$work/run_fr.out"
tail -1 "$work/run_fr.out" | grep -q '"ended": true' || fail "$(tail -3 "$work/run_fr.out")"
grep -q '"question": "Quelle grandeur le compteur FI-1 affiche-t-il ?"' "$work/run_fr.out" ||
  fail "the changed question was not played"

# Refusals (the fuzzy mark moves the later entries one line down): another argument, a character Windows-1252 lacks, a fuzzy entry. Each is named
# with its PO line and left out; the files keep their texts.
cp -a "$course/MSG" "$work/msg_before_refusals"
line() { grep -n "^msgctxt \"$1\"$" "$work/fr3b.po" | cut -d: -f1; }
args=$(( $(line 'COMMON.MSG 7') + 2 ))
cjk=$(( $(line 'COMMON.MSG 1') + 2 ))
fuzzy=$(( $(line 'COMMON.MSG 3') ))
sed -e "${args}s/.*/msgstr \"%1 - version %2\"/" -e "${cjk}s/.*/msgstr \"演示课程\"/" \
    -e "${fuzzy}i #, fuzzy" "$work/fr3b.po" > "$work/bad.po"
if "$msgc" po-import "$course" --lang FR "$work/bad.po" > /dev/null 2> "$work/bad.err"; then
  fail "bad entries were accepted"
fi
cat "$work/bad.err"
grep -q "bad.po:$((args + 1)): COMMON.MSG 7: arguments %1 %2, the GB text has %1 %2 %3: refused" "$work/bad.err" ||
  fail "argument refusal"
grep -q "bad.po:$cjk: COMMON.MSG 1: the character '演' (U+6F14) has no Windows-1252 form: refused" \
  "$work/bad.err" || fail "code page refusal"
grep -q "bad.po:$((fuzzy + 3)): COMMON.MSG 3: fuzzy, left out" "$work/bad.err" || fail "fuzzy"
diff -r "$work/msg_before_refusals" "$course/MSG" || fail "refused entries changed files"
# gettext finds the argument fault as well.
if "$msgfmt" --check-format -o /dev/null "$work/bad.po" 2>/dev/null; then fail "msgfmt missed it"; fi

# The translator's update: an old translation merged with a new export; the entry whose source
# text changed comes out fuzzy, with its previous msgid, and is left out.
sed 's/^msgid "Technical training on your desktop"$/msgid "Technical training at your desk"/' \
  "$work/fr3b.po" > "$work/old.po"
"$msgc" po-export "$course" --from GB --lang FR -o "$work/new.po"
"$msgmerge" -q --previous -o "$work/updated.po" "$work/old.po" "$work/new.po"
grep -q '^#| msgid "Technical training at your desk"$' "$work/updated.po" || fail "no previous msgid"
if "$msgc" po-import "$course" --lang FR "$work/updated.po" > /dev/null 2> "$work/updated.err"; then
  fail "a fuzzy entry was accepted"
fi
grep -q 'updated.po:[0-9]*: COMMON.MSG 3: fuzzy, left out' "$work/updated.err" ||
  fail "$(cat "$work/updated.err")"
diff -r "$work/msg_before_refusals" "$course/MSG" || fail "the merged file changed texts"

# A new language: GB's texts, each marked, become DE; it checks clean and plays.
"$msgc" po-export "$course" --from GB --lang DE -o "$work/de.pot"
"$msgfmt" --check-format -o /dev/null "$work/de.pot"
[ "$(grep -c '^msgstr "."' "$work/de.pot")" = 0 ] || fail "the template holds translations"
"$python3" "$marker" "$work/de.pot" "$work/de.po" ' ¤'
"$msgc" po-import "$course" --lang DE "$work/de.po" > "$work/import_de.out"
grep -q 'PRODUCT.DAT: added \[Demo Course\]\[DEMO\]\[DATA\]\[DEMO.PRD\]\[1100:0800\]\[1\]\[1\]\[DE\]' \
  "$work/import_de.out" || fail "no catalogue line"
grep -q '^\[Demo Course\].*\[DE\]$' "$course/PRODUCT.DAT" || fail "PRODUCT.DAT"
"$msgc" dump "$course/MSG/DE/COMMON.MSG" --raw | head -1 | grep -q '"English ¤ (DE)"' ||
  fail "language menu entry"
"$coursecheck" "$course" --lang DE > "$work/check_de.out" || fail "$(cat "$work/check_de.out")"
grep -q '^0 errors, 0 warnings$' "$work/check_de.out" || fail "$(cat "$work/check_de.out")"
"$learners" init "$course" --lang DE
"$learners" add-group "$course" --lang DE --group 1 --name Gruppe
"$learners" add-user "$course" --lang DE --group 1 --user 1 --name Anna
QT_QPA_PLATFORM=offscreen PLAYER_SOUND=silent \
  "$lessonrun" "$course" --user 1:1 --lang DE --auto > "$work/run_de.out"
tail -1 "$work/run_de.out" | grep -q '"ended": true' || fail "$(tail -3 "$work/run_de.out")"
grep -q '"question": "Estimate ¤ the discharge' "$work/run_de.out" || fail "DE texts not played"
echo "po round trip: ok"
