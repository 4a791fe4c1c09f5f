#!/usr/bin/env python3
"""Makes a large course for the benchmarks out of the demo course's own parts.

The compiled demo course of a build tree (courses/demo/course) is copied whole; then its lesson
is blown up from the demo's sources (courses/demo): N levels of M steps that repeat the demo's
ten steps in their order (so choice, practical and estimate steps keep the demo's proportions
and an estimate step still follows a solved practical one), S step scripts that are copies of
the demo's step scripts, each reading its own texts and showing its own copies of the demo's
pictures (P pictures in all), L languages (GB's texts under further language codes) and U
learners in GB, some of whom have played the lesson with lessonrun.

The text sources of every message file it compiles are kept in OUT/src, so that a benchmark
can compile them all again with msgc.

Usage: make_course.py --build BUILD --out DIR [--levels N] [--steps M] [--languages L]
                      [--scripts S] [--pictures P] [--learners U] [--played K]
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO_SRC = os.path.normpath(os.path.join(HERE, "..", "..", "courses", "demo"))

# The demo's step scripts, in the order of its ten steps, with the prefix of their copies.
STEP_SCRIPTS = ["INTRO", "START", "SHUT", "PRIME", "FILL", "ALARM", "THROTL", "GAUGE", "CAVIT",
                "STOP"]
# Pictures a script shows on its own (no digit font, no mask series, no animation frames): its
# copies show copies of them.
OWN_PICTURES = {"ARROW", "ARROWL", "LAMP", "UGPM", "ULPM", "UBAR", "UPSI", "MOTOR", "VENT",
                "LEVEL", "ALARMT", "UDEGC", "UDEGF", "BUBBLE", "DEMO", "PUMPCUT", "LINE",
                "TANK", "BOARD"}
LANGUAGES = [("GB", None), ("FR", None), ("DE", "Deutsch (DE)"), ("IT", "Italiano (IT)"),
             ("ES", "Español (ES)"), ("NL", "Nederlands (NL)"), ("PT", "Português (PT)"),
             ("SV", "Svenska (SV)")]
DIR = "D1"


def run(args, **kw):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, **kw)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def split_messages(text):
    """Splits a message source into its header lines and its [n] records, in order."""
    header, records, current = [], [], None
    for line in text.split("\n"):
        m = re.fullmatch(r"\[(\d+)\](.*)", line)
        if m:
            current = [int(m.group(1)), m.group(2), []]
            records.append(current)
        elif current is None:
            header.append(line)
        else:
            current[2].append(line)
    for r in records:  # the file's last newline belongs to no record
        while r[2] and r[2][-1] == "":
            r[2].pop()
    return header, records


def join_messages(header, records):
    out = [l for l in header if not l.startswith("#")]
    for n, fmt, lines in records:
        out.append("[%d]%s" % (n, fmt))
        out.extend(lines)
    return "\n".join(out) + "\n"


class Course:
    def __init__(self, a):
        self.a = a
        self.out = os.path.abspath(a.out)
        self.tool = lambda name: os.path.join(a.build, "tools", name, name)
        self.langs = LANGUAGES[: a.languages]
        self.sources = []  # (source, compiled file inside the course)

    def message(self, text, lang, name):
        """Writes a message source and notes it for compiling into MSG/<lang>/<name>."""
        src = os.path.join(self.out, "src", "msg", lang, name + ".txt")
        write(src, text)
        self.sources.append((src, os.path.join(self.out, "MSG", lang, name)))

    def demo_source(self, lang, rel):
        """A demo text source in the language, GB's for a language the demo lacks."""
        path = os.path.join(DEMO_SRC, rel.replace("{L}", lang))
        return read(path if os.path.exists(path) else path.replace("/%s/" % lang, "/GB/"))

    def copy_demo(self):
        if os.path.exists(self.out):
            shutil.rmtree(self.out)
        demo = os.path.join(self.a.build, "courses", "demo", "course")
        shutil.copytree(demo, self.out, symlinks=True,
                        ignore=shutil.ignore_patterns("*.lck", "*.LCK"))
        for sub in ("DATA/DEMO", "DATA/CTX"):
            shutil.rmtree(os.path.join(self.out, sub), ignore_errors=True)
            os.makedirs(os.path.join(self.out, sub))
        for f in os.listdir(os.path.join(self.out, "DATA", "CFG")):
            os.remove(os.path.join(self.out, "DATA", "CFG", f))
        link = os.path.join(self.out, "DEMO")
        target = os.path.realpath(link)
        os.remove(link)
        os.symlink(target, link)

    def languages(self):
        """Adds the languages the demo lacks: GB's texts, documents and catalogue line."""
        catalogue = read(os.path.join(self.out, "PRODUCT.DAT"))
        gb_line = next(l for l in catalogue.split("\n") if l.endswith("[GB]"))
        for lang, title in self.langs:
            for name in ("COMMON", "MSGBOX", "VTE", "PASSWD"):
                text = self.demo_source(lang, "msg/{L}/%s.txt" % name)
                if title and name == "COMMON":
                    header, records = split_messages(text)
                    records[0][2] = [title]
                    text = join_messages(header, records)
                self.message(text, lang, name + ".MSG")
            if title:
                shutil.copytree(os.path.join(self.out, "MSG", "GB"),
                                os.path.join(self.out, "MSG", lang), dirs_exist_ok=True)
                catalogue += gb_line.replace("[GB]", "[%s]" % lang) + "\n"
                os.makedirs(os.path.join(self.out, "DATA", "DEMO", lang), exist_ok=True)
            self.message(self.demo_source(lang, "lesson/{L}/UNITS.txt"), lang, DIR + "UNITS.CNV")
            for f in os.listdir(os.path.join(DEMO_SRC, "lde", "msg", "GB")):
                name = f[:-4]
                self.message(self.demo_source(lang, "lde/msg/{L}/" + f), lang, DIR + name + ".MSG")
        write(os.path.join(self.out, "PRODUCT.DAT"), catalogue)

    def scripts(self):
        """Copies of the step scripts, each with its own texts and its own pictures."""
        bmp = os.path.join(self.out, "BMP")
        self.copies = {name: [] for name in STEP_SCRIPTS}
        picture = 0
        for j in range(self.a.scripts):
            orig = STEP_SCRIPTS[j % len(STEP_SCRIPTS)]
            name = "%s%03d" % (orig[:3], j // len(STEP_SCRIPTS))
            self.copies[orig].append(name)
            source = read(os.path.join(DEMO_SRC, "lde", orig + ".lds"))
            mine = {}

            def own(m):
                nonlocal picture
                pic = m.group(2)
                if pic not in OWN_PICTURES:
                    return m.group(0)
                if pic not in mine:
                    if picture >= self.a.pictures:
                        return m.group(0)
                    picture += 1
                    mine[pic] = "P%05d" % picture
                    for sub in ("", "MASK"):
                        src = os.path.join(bmp, sub, pic + ".BMP")
                        if os.path.exists(src):
                            shutil.copyfile(src, os.path.join(bmp, sub, mine[pic] + ".BMP"))
                return '%s"%s"' % (m.group(1), mine[pic])

            source = re.sub(r'(\b(?:Bmp|Load)\s+)"([A-Z0-9]+)"', own, source)
            if os.path.exists(os.path.join(DEMO_SRC, "lde", "msg", "GB", orig + ".txt")):
                source = re.sub(r'(ReadMessage\s+\d+,\s*)"%s"' % orig, r'\1"%s"' % name, source)
                for lang, _ in self.langs:
                    text = self.demo_source(lang, "lde/msg/{L}/%s.txt" % orig)
                    self.message(text, lang, DIR + name + ".MSG")
            src = os.path.join(self.out, "src", "lde", name + ".lds")
            write(src, source)
            run([self.tool("ldeasm"), "asm", src, os.path.join(self.out, "DATA", "LDE", DIR + name)])
        self.pictures_made = picture

    def levels(self):
        """The step texts of every level and its matrix of scripts."""
        demo_cfg = read(os.path.join(DEMO_SRC, "lesson", "LEVEL01.CFG"))
        blocks, current = {}, None
        for line in demo_cfg.split("\n"):
            m = re.match(r"\[##(\d+)\](.*)", line)
            if m:
                current = blocks.setdefault(int(m.group(1)), [m.group(2)])
            elif current is not None and line.startswith("["):
                current.append(line)
        for lang, _ in self.langs:
            header, demo = split_messages(self.demo_source(lang, "lesson/{L}/STEP01.txt"))
            steps = len(demo) // 4
            for level in range(1, self.a.levels + 1):
                records = []
                for s in range(1, self.a.steps + 1):
                    k = (s - 1) % steps
                    copies = self.copies[STEP_SCRIPTS[k]]
                    script = copies[((level - 1) * self.a.steps + s - 1) // steps % len(copies)]
                    q, answers, comments, params = (list(r[2]) for r in demo[4 * k : 4 * k + 4])
                    q[0] = "%d.%d %s" % (level, s, q[0])
                    params = [re.sub(r"K\[\w+:\w+\]", "K[D%d:%X]" % (level, s), params[0])]
                    params[0] = re.sub(r"LDE\w+", "LDE" + script, params[0])
                    params[0] = re.sub(r"\bF\d+", "F%d" % s, params[0])
                    n = 4 * (s - 1)
                    records += [[n, "", q], [n + 1, "", answers], [n + 2, "", comments],
                                [n + 3, "", params]]
                self.message(join_messages(header, records), lang, "%sSTEP%02d.MSG" % (DIR, level))
        for level in range(1, self.a.levels + 1):
            cfg = ["; Level %d: the matrix of the practical steps' pop-up menus." % level]
            for s in range(1, self.a.steps + 1):
                block = blocks.get((s - 1) % 10 + 1)
                if block:
                    cfg.append("[##%02d]%s" % (s, block[0]))
                    cfg.extend(block[1:])
            write(os.path.join(self.out, "DATA", "CFG", "%sLEVEL%02d.CFG" % (DIR, level)),
                  "\n".join(cfg) + "\n")

    def compile(self):
        for src, out in self.sources:
            os.makedirs(os.path.dirname(out), exist_ok=True)
            run([self.tool("msgc"), "compile", src, out])
        write(os.path.join(self.out, "src", "msg", "list"),
              "".join("%s %s\n" % (os.path.relpath(s, self.out), os.path.relpath(o, self.out))
                      for s, o in self.sources))

    def learners(self):
        """U learners in GB (groups of 50), a group of two in every other language; K of the GB
        learners play the whole first level, as many again answer its first step."""
        tool = self.tool("learners")
        lessonrun = self.tool("lessonrun")

        def l(cmd, lang, *args):
            run([tool, cmd, self.out, "--lang", lang] + [str(x) for x in args])

        for lang, _ in self.langs:
            l("init", lang)
            if lang != "GB":
                l("add-group", lang, "--group", 1, "--name", "Shift %s" % lang)
                l("add-user", lang, "--group", 1, "--user", 1, "--name", "Learner %s 1" % lang)
                l("add-user", lang, "--group", 1, "--user", 2, "--name", "Learner %s 2" % lang)
                continue
            groups = (self.a.learners + 49) // 50
            for g in range(1, groups + 1):
                l("add-group", lang, "--group", g, "--name", "Shift %d" % g)
            for i in range(self.a.learners):
                g, u = i // 50 + 1, i % 50 + 1
                l("add-user", lang, "--group", g, "--user", u, "--name", "Learner %d.%d" % (g, u))
        stride = max(1, self.a.learners // max(1, 2 * self.a.played))
        for n, i in enumerate(range(0, self.a.learners, stride)):
            if n >= 2 * self.a.played:
                break
            who = "%d:%d" % (i // 50 + 1, i % 50 + 1)
            args = [lessonrun, self.out, "--user", who, "--lang", "GB", "--set", "Flag=-g"]
            if n % 2 == 0:
                args.append("--auto")
            else:  # the first step answered, right or wrong, then stopped
                args += ["--answer", str(n // 2 % 4 + 1)]
            run(args)


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--build", required=True, help="a build tree with the demo course built")
    p.add_argument("--out", required=True)
    p.add_argument("--levels", type=int, default=2)
    p.add_argument("--steps", type=int, default=500)
    p.add_argument("--languages", type=int, default=6)
    p.add_argument("--scripts", type=int, default=300)
    p.add_argument("--pictures", type=int, default=1000)
    p.add_argument("--learners", type=int, default=2000)
    p.add_argument("--played", type=int, default=20)
    a = p.parse_args()
    if not 1 <= a.languages <= len(LANGUAGES) or a.scripts < len(STEP_SCRIPTS):
        sys.exit("make_course: 1 to %d languages, at least %d scripts" %
                 (len(LANGUAGES), len(STEP_SCRIPTS)))
    if not 1 <= a.steps <= 1023 or a.scripts > 10 * 1000:
        sys.exit("make_course: 1 to 1023 steps a level, at most 10000 scripts")
    c = Course(a)
    c.copy_demo()
    c.languages()
    c.scripts()
    c.levels()
    c.compile()
    c.learners()
    print("%s: %d levels x %d steps, %d languages, %d scripts, %d pictures, %d learners" %
          (c.out, a.levels, a.steps, a.languages, a.scripts, c.pictures_made, a.learners))


if __name__ == "__main__":
    main()
