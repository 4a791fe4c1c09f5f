#!/usr/bin/python3
"""coursexapi on a course played by lessonrun (tests/report/make_course.sh): the statements of
--dry-run checked field by field against the learners' files read here on their own, and
against the xAPI 1.0.3 rules; then sending to a stand-in LRS that refuses, stalls, dies and
comes back while coursexapi is killed at random moments: every statement arrives, none twice.
The statements are also checked by Learning Locker's validation library under node, and so
are those of the demo course (two languages, choice, practical and estimate steps) played by
lessonrun.

Usage: xapi_test.py COURSEXAPI MAKE_COURSE MSGC LEARNERS LESSONRUN NODE NODE_MODULES DEMO"""

import datetime
import json
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import uuid

coursexapi, make_course, msgc, learners, lessonrun, node, node_modules, demo = sys.argv[1:9]
here = os.path.dirname(os.path.abspath(__file__))
SITE = "https://site.example/training"
IRI = "https://xapi.example/courses/"
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


# The learners make_course.sh adds, by "group:user".
NAMES = {"1:1": "Alice Martin", "1:2": "Bruno Leroy", "1:3": "Chloé Dubois",
         "2:1": "<img src=x onerror=f()>", "2:2": "Emma Petit"}
# The expected answers and the choice counts of its four steps.
EXPECTED = {1: 1, 2: 3, 3: 2, 4: 4}
CHOICES = {1: 3, 2: 3, 3: 3, 4: 4}
UUID = re.compile(r"^[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")
DURATION = re.compile(r"^PT\d+S$")
LANGUAGE_MAP_KEY = re.compile(r"^[A-Za-z]{2,3}(-[A-Za-z0-9]{1,8})*$")


def run(*args, **kw):
    return subprocess.run(list(args), capture_output=True, text=True, **kw)


def learner_files(course):
    """The learners' history lines and score rows, read from the files directly."""
    folder = os.path.join(course, "DATA", "TEST", "GB")
    out = {}
    for name in sorted(os.listdir(folder)):
        m = re.match(r"^(HST|SCO)(\d{3})\.(\d{3})$", name)
        if not m:
            continue
        key = "%d:%d" % (int(m.group(3)), int(m.group(2)))
        entry = out.setdefault(key, {"lines": [], "scores": [], "mtime": 0})
        path = os.path.join(folder, name)
        entry["mtime"] = max(entry["mtime"], int(os.stat(path).st_mtime))
        if m.group(1) == "HST":
            for line in open(path, encoding="latin-1").read().splitlines():
                a = re.match(r"^#F(-?\d+) E(\d+) Q(\d+) (-?\d+):(-?\d+) N(\d+) (.*)$", line)
                entry["lines"].append(None if not a else
                                      {"level": int(a.group(2)), "step": int(a.group(3)),
                                       "expected": int(a.group(4)), "given": int(a.group(5))})
        else:
            data = open(path, "rb").read()
            n = (len(data) - 16) // 24
            arrays = [struct.unpack_from("<%di" % n, data, 16 + 4 * n * k) for k in range(6)]
            entry["scores"] = [tuple(a[i] for a in arrays) for i in range(n)]
    return out


def xapi_rules(s):
    """The structural rules of an xAPI 1.0.3 statement that this program's statements use."""
    where = s.get("id", "?")
    check(UUID.match(s.get("id", "")), where + ": id is a version 5 UUID")
    actor = s.get("actor", {})
    check(actor.get("objectType") == "Agent" and set(actor) <= {"objectType", "name", "account"},
          where + ": actor is an Agent with one identifier")
    account = actor.get("account", {})
    check(set(account) == {"homePage", "name"} and account["homePage"].startswith("https://"),
          where + ": account has homePage (an IRL) and name")
    verb = s.get("verb", {})
    check(verb.get("id", "").startswith("http://adlnet.gov/expapi/verbs/"), where + ": ADL verb")
    for value in list(verb.get("display", {}).items()):
        check(LANGUAGE_MAP_KEY.match(value[0]), where + ": verb display is a language map")
    obj = s.get("object", {})
    check(obj.get("objectType") == "Activity" and obj.get("id", "").startswith(IRI),
          where + ": object is an activity under the IRI base")
    definition = obj.get("definition", {})
    for field in ("name", "description"):
        m = definition.get(field, {})
        check(isinstance(m, dict) and m and all(LANGUAGE_MAP_KEY.match(k) for k in m),
              where + ": definition %s is a language map" % field)
    if definition.get("interactionType") == "choice":
        ids = [c["id"] for c in definition.get("choices", [])]
        check(len(ids) == len(set(ids)) and ids, where + ": choices have distinct ids")
        for pattern in definition.get("correctResponsesPattern", []):
            check(all(p in ids for p in pattern.split("[,]")),
                  where + ": the correct response names a choice")
    result = s.get("result", {})
    score = result.get("score")
    if score is not None:
        check(score["min"] <= score["raw"] <= score["max"] and -1 <= score["scaled"] <= 1,
              where + ": score raw within min and max, scaled within -1 and 1")
    if "duration" in result:
        check(DURATION.match(result["duration"]), where + ": duration in ISO 8601")
    context = s.get("context", {})
    check(UUID.match(context.get("registration", "")), where + ": registration is a UUID")
    try:
        datetime.datetime.strptime(s["timestamp"], "%Y-%m-%dT%H:%M:%SZ")
    except (KeyError, ValueError):
        check(False, where + ": timestamp is an ISO 8601 time")


def dry_run(course, state):
    r = run(coursexapi, course, "--site", SITE, "--iri", IRI, "--state", state, "--dry-run")
    check(r.returncode == 0, "dry run exits 0: " + r.stderr)
    return [json.loads(line) for line in r.stdout.splitlines()]


def check_statements(course, statements):
    files = learner_files(course)
    by_learner = {}
    for s in statements:
        xapi_rules(s)
        by_learner.setdefault(s["actor"]["account"]["name"], []).append(s)
    for key, entry in files.items():
        got = by_learner.get(key, [])
        answers = [line for line in entry["lines"] if line]
        answered = [s for s in got if s["verb"]["id"].endswith("/answered")]
        check(len(answered) == len(answers), key + ": one statement for each answer line")
        stamp = datetime.datetime.fromtimestamp(entry["mtime"], datetime.timezone.utc)
        for s in got:
            check(s["actor"]["name"] == NAMES[key], key + ": the learner's name")
            check(s["actor"]["account"]["homePage"] == SITE, key + ": the site's address")
            check(s["timestamp"] == stamp.strftime("%Y-%m-%dT%H:%M:%SZ"),
                  key + ": the time of the learner's files")
        for line, s in zip(answers, answered):
            obj = s["object"]
            check(obj["id"] == IRI + "TEST/level/%d/step/%d" % (line["level"], line["step"]),
                  key + ": the step's activity id")
            d = obj["definition"]
            check(d["interactionType"] == "choice" and len(d["choices"]) == CHOICES[line["step"]],
                  key + ": a choice interaction with the step's choices")
            check(d["correctResponsesPattern"] == [str(line["expected"])]
                  and line["expected"] == EXPECTED[line["step"]], key + ": correct response")
            check(s["result"]["response"] == str(line["given"]), key + ": the given answer")
            check(s["result"]["success"] == (line["given"] == line["expected"]),
                  key + ": success when the answer is the expected one")
        # The latest answer to a step carries the score file's figures of that step.
        latest = {}
        for line, s in zip(answers, answered):
            latest[(line["level"], line["step"])] = s
        for (level, step), s in latest.items():
            score, worth, bonus, seconds, visits, status = entry["scores"][step - 1]
            if worth > 0:
                check(s["result"]["score"] == {"raw": max(0, score), "min": 0, "max": worth,
                                               "scaled": max(0, score) / worth},
                      key + ": the score of step %d" % step)
            check(s["result"]["duration"] == "PT%dS" % seconds, key + ": the step's time")
        finished = entry["scores"] and all(row[5] == 3 for row in entry["scores"][:4])
        ends = [s["verb"]["id"].rsplit("/", 1)[1] for s in got if "/answered" not in s["verb"]["id"]]
        check(ends == (["passed", "completed"] if finished else []),
              key + ": a finished level and lesson, and nothing for an unfinished one: %s" % ends)
        if got:
            check(len({s["context"]["registration"] for s in got}) == 1,
                  key + ": one registration for the session")


def main():
    work = tempfile.mkdtemp(prefix="coursexapi-")
    lrs = None
    try:
        course = os.path.join(work, "course")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([make_course, course, msgc, learners, lessonrun], check=True, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        state = os.path.join(work, "state")
        statements = dry_run(course, state)
        check(len(statements) == 12, "twelve statements: %d" % len(statements))
        check_statements(course, statements)
        validate = [node, os.path.join(here, "validate.js")]
        node_env = dict(os.environ, NODE_PATH=node_modules)
        lines = "".join(json.dumps(s) + "\n" for s in statements)
        r = run(*validate, input=lines, env=node_env)
        check(r.returncode == 0 and "12 statements, 0 invalid" in r.stdout,
              "the validator finds every statement valid: " + r.stdout + r.stderr)
        # The validator does find a fault: a score above its maximum, an account without name.
        broken = json.loads(json.dumps(statements[0]))
        broken["result"]["score"]["raw"] = 11
        del broken["actor"]["account"]["name"]
        r = run(*validate, input=json.dumps(broken) + "\n", env=node_env)
        check(r.returncode == 1 and "1 invalid" in r.stdout, "the validator finds a broken one")

        # The demo played to its end: every text in both of its languages, and valid.
        demo_course = os.path.join(work, "demo")
        shutil.copytree(demo, demo_course, symlinks=True)
        subprocess.run([lessonrun, demo_course, "--user", "2:2", "--lang", "GB", "--auto"],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        r = run(coursexapi, demo_course, "--site", SITE, "--iri", IRI, "--dry-run", "--state",
                os.path.join(work, "none"))
        played = [json.loads(l) for l in r.stdout.splitlines()]
        mine = [s for s in played if s["actor"]["account"]["name"] == "2:2"]
        check(any(s["verb"]["id"].endswith("/completed") for s in mine),
              "the demo's played lesson is completed")
        kinds = {s["object"]["definition"].get("interactionType") for s in mine}
        check({"choice", "other"} <= kinds, "the demo's choice and other steps: %s" % kinds)
        for s in played:
            d = s["object"]["definition"]
            check(set(d["name"]) == {"en-GB", "fr-FR"} == set(d["description"]),
                  s["id"] + ": names and descriptions in English and French")
            for c in d.get("choices", []):
                check(set(c["description"]) == {"en-GB", "fr-FR"}, s["id"] + ": choice texts")
        r = run(*validate, input="".join(json.dumps(s) + "\n" for s in played), env=node_env)
        check(r.returncode == 0 and r.stdout.strip().endswith(" 0 invalid"),
              "the demo's statements are valid: " + r.stdout)

        ids = [s["id"] for s in statements]
        check(len(set(ids)) == len(ids), "distinct statement ids")
        # Version 5 UUIDs of the site, then of the course, learner and place in the files.
        site_ns = uuid.uuid5(uuid.NAMESPACE_URL, SITE)
        check(ids[0] == str(uuid.uuid5(site_ns, "TEST/1:1/0/line1"))
              and ids[4] == str(uuid.uuid5(site_ns, "TEST/1:1/0/level1"))
              and ids[5] == str(uuid.uuid5(site_ns, "TEST/1:1/0/lesson")),
              "name-based ids of site, course, learner and place")
        check([s["id"] for s in dry_run(course, state)] == ids, "the same ids on a second run")
        check(not os.path.exists(state), "a dry run writes no state")
        # Another site gives other ids.
        r = run(coursexapi, course, "--site", SITE + "2", "--iri", IRI, "--dry-run")
        check(not set(ids) & {json.loads(l)["id"] for l in r.stdout.splitlines()},
              "another site, other ids")

        auth = os.path.join(work, "auth")
        with open(auth, "w") as f:
            f.write("lrs:secret\n")
        r = run(coursexapi, course, "--lrs", "http://lrs.example/xapi", "--auth-file", auth,
                "--site", SITE, "--iri", IRI, "--state", state, "--once")
        check(r.returncode == 1 and "in clear" in r.stderr, "plain http outside loopback refused")

        store, mode, port_file = (os.path.join(work, n) for n in ("store", "mode", "port"))

        def start_lrs(*tls):
            if os.path.exists(port_file):
                os.remove(port_file)
            p = subprocess.Popen(["/usr/bin/python3", os.path.join(here, "stand_in_lrs.py"),
                                  port_file, store, mode, *tls])
            for _ in range(200):
                if os.path.exists(port_file):
                    return p, int(open(port_file).read())
                time.sleep(0.05)
            raise RuntimeError("the stand-in LRS did not start")

        def set_mode(text):
            with open(mode + ".tmp", "w") as f:
                f.write(text)
            os.rename(mode + ".tmp", mode)

        def send(port, batch="3", timeout=None):
            return subprocess.Popen(
                [coursexapi, course, "--lrs", "http://127.0.0.1:%d/xapi/" % port, "--auth-file",
                 auth, "--site", SITE, "--iri", IRI, "--state", state, "--once", "--batch", batch,
                 "--timeout", "2"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

        lrs, port = start_lrs()
        # Killed at random moments while the LRS misbehaves, dies and comes back.
        # First a statement stored whose answer is lost: the next run, with larger batches,
        # finds it there already.
        rng = random.Random(1957)
        for round_ in range(13):
            set_mode("lose" if round_ == 0 else rng.choice(["", "", "refuse", "stall", "lose"]))
            p = send(port, batch="1" if round_ == 0 else rng.choice(["1", "2", "5"]))
            time.sleep(0.5 if round_ == 0 else rng.uniform(0.0, 0.6))
            p.send_signal(signal.SIGKILL)
            p.wait()
            if round_ % 4 == 3:
                lrs.kill()
                lrs.wait()
                lrs, port = start_lrs()
        set_mode("")
        p = send(port)
        out, err = p.communicate(timeout=120)
        check(p.returncode == 0, "--once exits 0 once everything is delivered: " + err)
        got = [json.loads(l)["id"] for l in open(store)] if os.path.exists(store) else []
        check(sorted(got) == sorted(ids), "every statement arrives once: %d stored of %d"
              % (len(got), len(ids)))
        check(len(got) == len(set(got)), "no statement twice")

        # Nothing new: nothing sent, exit 0.
        p = send(port)
        p.communicate(timeout=60)
        check(p.returncode == 0 and len(open(store).readlines()) == len(ids),
              "a second run sends nothing")

        # A new session of 1:3: its statements only; the one the LRS refuses is kept aside.
        subprocess.run([lessonrun, course, "--user", "1:3", "--answer", "3", "--answer", "next",
                        "--answer", "3"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        fresh = dry_run(course, os.path.join(work, "none"))
        new = [s for s in fresh if s["id"] not in set(ids)]
        check(len(new) == 2 and all(s["actor"]["account"]["name"] == "1:3" for s in new),
              "the new session's two statements")
        set_mode("reject " + new[0]["id"])
        p = send(port)
        out, err = p.communicate(timeout=60)
        check(p.returncode == 1 and "refused" in err, "a refused statement is reported: " + err)
        aside = [json.loads(l) for l in open(state + ".rejected")]
        check(len(aside) == 1 and aside[0]["statement"]["id"] == new[0]["id"]
              and "HTTP 400" in aside[0]["reason"], "kept aside with its reason")
        p = send(port)
        out, err = p.communicate(timeout=60)
        check(p.returncode == 0, "a refused statement is not sent again")
        got = [json.loads(l)["id"] for l in open(store)]
        check(sorted(got) == sorted(ids + [new[1]["id"]]), "the other statement arrives")

        # A learner's history rewritten from scratch: sent again under new ids.
        with open(os.path.join(course, "DATA", "TEST", "GB", "HST002.002"), "w") as f:
            f.write("#F2 E1 Q2 3:3 N3 D1\n")
        set_mode("")
        p = send(port)
        p.communicate(timeout=60)
        got = [json.loads(l) for l in open(store)]
        last = got[-1]
        check(p.returncode == 0 and last["actor"]["account"]["name"] == "2:2"
              and last["object"]["id"].endswith("/step/2") and last["id"] not in ids,
              "a rewritten history's new line arrives")

        # Over HTTPS, to a certificate of the organisation's own authority (--ca-file).
        lrs.kill()
        lrs.wait()
        cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                        key, "-out", cert, "-subj", "/CN=127.0.0.1", "-days", "1", "-addext",
                        "subjectAltName=IP:127.0.0.1"], check=True, capture_output=True)
        os.remove(state)
        os.remove(store)
        lrs, port = start_lrs(cert, key)
        r = run(coursexapi, course, "--lrs", "https://127.0.0.1:%d/xapi" % port, "--auth-file",
                auth, "--site", SITE, "--iri", IRI, "--state", state, "--once", "--ca-file", cert)
        got = [json.loads(l)["id"] for l in open(store)] if os.path.exists(store) else []
        check(r.returncode == 0 and len(got) == len(dry_run(course, os.path.join(work, "none"))),
              "every statement over HTTPS: " + r.stderr)
    finally:
        if lrs:
            lrs.kill()
            lrs.wait()
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("%d failure(s)" % len(failures))
        return 1
    print("all good")
    return 0


sys.exit(main())
