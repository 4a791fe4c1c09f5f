import re, sys
# Fills every msgstr of a PO template with its msgid marked: a marker after the first word of
# the first line that has a blank and is no "##", "LDE" or panel place (X.. Y.. W..) line;
# parameter lines are kept.
src, dst, mark = sys.argv[1], sys.argv[2], sys.argv[3]
def unq(lines):
    return ''.join(l[1:-1] for l in lines)
out = []
for b in open(src, encoding='utf-8').read().split('\n\n'):
    if '\nmsgctxt' not in '\n' + b:
        out.append(b); continue
    lines = b.split('\n')
    i = next(k for k, l in enumerate(lines) if l.startswith('msgid'))
    j = next(k for k, l in enumerate(lines) if l.startswith('msgstr'))
    body = [lines[i][6:]] + lines[i + 1:j]
    if 'parameter line' not in b and 'keep them' not in b:
        for k, l in enumerate(body):
            if ' ' in l and not l.startswith('"##') and not l.startswith('"LDE') and not re.fullmatch(r'"([XYW]-?\d+ ?)+(\\n)?"', l):
                body[k] = l.replace(' ', mark + ' ', 1)
                break
    out.append('\n'.join(lines[:j] + ['msgstr ' + body[0]] + body[1:]))
open(dst, 'w', encoding='utf-8').write('\n\n'.join(out))
