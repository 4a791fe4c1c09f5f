#!/usr/bin/python3
"""The report page in headless Chromium: coursereport serve on a played course, the page's
learner rows and step view checked against the files' figures, the charts drawn, a hostile
learner name shown as text, an answer number far out of range shown as one "other" row, and
nothing in the browser console; then the sign-in over HTTPS with a certificate made for the
test, and the session cookie it sets.

Usage: browser_test.py COURSEREPORT MAKE_COURSE MSGC LEARNERS LESSONRUN
Exits 77 (skipped) only when Chromium or its driver is not installed."""

import json
import re
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import urllib.request


def main():
    coursereport, make_course, msgc, learners, lessonrun = sys.argv[1:6]
    chromium = shutil.which("chromium")
    driver_path = shutil.which("chromedriver")
    if not chromium or not driver_path:
        print("skipped: chromium or chromedriver is not installed")
        return 77
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait

    work = tempfile.mkdtemp(prefix="report-browser-")
    server = None
    browser = None
    try:
        course = os.path.join(work, "course")
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        subprocess.run([make_course, course, msgc, learners, lessonrun], check=True, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # A journal line whose answer number no step offers: the step view must stay small.
        with open(os.path.join(course, "DATA", "TEST", "GB", "HST002.002"), "a") as f:
            f.write("#F1 E1 Q1 2:2000000000 N3 D1\n")
        # A step failed once flags a learner: 1:2, 2:1 and 2:2 (by the line added above) need help.
        server = subprocess.Popen([coursereport, "serve", course, "--port", "0", "--failures", "1"],
                                  stdout=subprocess.PIPE, text=True)
        line = server.stdout.readline().strip()
        assert line.startswith("listening on http://127.0.0.1:"), line
        url = line[len("listening on "):]
        summary = json.load(urllib.request.urlopen(url + "api/summary"))
        steps = json.load(urllib.request.urlopen(url + "api/steps"))["steps"]

        def chromium_options(profile, spki=None):
            options = webdriver.ChromeOptions()
            options.binary_location = chromium
            for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                        "--window-size=1400,1000", "--user-data-dir=" + os.path.join(work, profile)):
                options.add_argument(arg)
            if spki:
                options.add_argument("--ignore-certificate-errors-spki-list=" + spki)
            options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
            return options

        browser = webdriver.Chrome(service=Service(driver_path), options=chromium_options("profile"))
        browser.set_page_load_timeout(30)
        browser.get(url)
        wait = WebDriverWait(browser, 20)

        # One row per learner, in the files' figures.
        learners_total = sum(len(g["learners"]) for g in summary["groups"])
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == learners_total)
        rows = {(r.get_attribute("data-group"), r.get_attribute("data-user")): r
                for r in browser.find_elements(By.CSS_SELECTOR, "tr.learner-row")}
        for group in summary["groups"]:
            for learner in group["learners"]:
                cells = [c.text for c in rows[(str(learner["group"]), str(learner["user"]))]
                         .find_elements(By.TAG_NAME, "td")]
                assert cells[2] == learner["name"], (cells, learner)
                assert float(cells[3].rstrip(" %")) == learner["percent"], (cells, learner)
                assert (cells[4] == "\u2714") == learner["finished"], (cells, learner)
                assert cells[5] == learner["status"], (cells, learner)
                assert cells[9] == str(learner["visits"]), (cells, learner)
                assert cells[11] == "; ".join(learner["help"]), (cells, learner)
                # Last active: the JSON's UTC time, worded by Intl in the page's language.
                shown = browser.execute_script(
                    "return arguments[0] ? new Intl.DateTimeFormat('en', {year: 'numeric', month: 'short',"
                    " day: 'numeric', hour: '2-digit', minute: '2-digit', timeZoneName: 'short'})"
                    ".format(new Date(arguments[0])) : '-'", learner["last_active"])
                assert cells[10] == shown, (cells, learner)
        alice = [c.text for c in rows[("1", "1")].find_elements(By.TAG_NAME, "td")]
        assert alice[2] == "Alice Martin" and alice[3].endswith("100%") and alice[4] == "\u2714", alice
        assert re.search(r"\b20\d\d\b", alice[10]) and not alice[10].startswith("20"), alice

        # The hostile name is text: no element was made from it, no handler ran.
        assert not browser.find_elements(By.CSS_SELECTOR, "#learners img"), "an img was made"
        assert not browser.execute_script("return typeof window.f === 'function' && window.fired")
        hostile = rows[("2", "1")].find_elements(By.TAG_NAME, "td")[2]
        assert hostile.text == "<img src=x onerror=f()>", hostile.text

        # The group picker keeps one group's learners.
        browser.find_element(By.CSS_SELECTOR, "#group-picker option[value='2']").click()
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) ==
                   len(summary["groups"][1]["learners"]))
        browser.find_element(By.CSS_SELECTOR, "#group-picker option[value='']").click()

        # Who needs help, by the rule the page states: shown alone on request.
        flagged = sorted((str(l["group"]), str(l["user"])) for g in summary["groups"]
                         for l in g["learners"] if l["needs_help"])
        assert flagged == [("1", "2"), ("2", "1"), ("2", "2")], flagged
        assert "a step failed 1 times" in browser.find_element(By.ID, "help-rule").text
        browser.find_element(By.ID, "help-only").click()
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == len(flagged))
        shown = sorted((r.get_attribute("data-group"), r.get_attribute("data-user"))
                       for r in browser.find_elements(By.CSS_SELECTOR, "tr.learner-row"))
        assert shown == flagged, shown
        browser.find_element(By.ID, "help-only").click()
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == learners_total)

        # The charts drew: their canvases hold coloured pixels.
        for chart in ("chart-success", "chart-time"):
            wait.until(lambda b: b.execute_script("""
                const c = document.getElementById(arguments[0]);
                if (!c || !c.width || !c.height) return false;
                const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
                for (let i = 3; i < d.length; i += 4) if (d[i] !== 0) return true;
                return false;""", chart), message=chart + " is blank")

        # The step view: question, answers and how often each was chosen.
        step = steps[0]
        browser.find_element(By.CSS_SELECTOR, "tr.step-row[data-step='1.1']").click()
        wait.until(lambda b: b.find_element(By.ID, "step-question").text == step["question"])
        answer_rows = browser.find_elements(By.CSS_SELECTOR, "#step-answers tbody tr:not(.other-answer)")
        assert len(answer_rows) == len(step["answers"]), len(answer_rows)
        other = browser.find_elements(By.CSS_SELECTOR, "#step-answers tbody tr.other-answer td")
        assert step["other"] == 1 and [c.text for c in other][2] == "1", [c.text for c in other]
        for number, tr in enumerate(answer_rows, start=1):
            cells = [c.text for c in tr.find_elements(By.TAG_NAME, "td")]
            assert cells[1] == step["answers"][number - 1], cells
            assert cells[2] == str(step["given"].get(str(number), 0)), (cells, step["given"])
        marked = browser.find_element(By.CSS_SELECTOR, "#step-answers tr.common-wrong td").text
        assert marked == "2", marked
        # The question that holds a script tag shows it as text.
        browser.find_element(By.CSS_SELECTOR, "tr.step-row[data-step='1.3']").click()
        wait.until(lambda b: "<script>" in b.find_element(By.ID, "step-question").text)

        # The learner view.
        browser.find_element(By.CSS_SELECTOR, "tr.learner-row[data-group='1'][data-user='2']").click()
        wait.until(lambda b: b.find_element(By.ID, "learner-title").text.startswith("Bruno Leroy"))
        history = browser.find_elements(By.CSS_SELECTOR, "#learner-history li")
        assert len(history) == 3, [h.text for h in history]
        assert ("answered 2 \u201cDischarge valve V2\u201d, expected 1 \u201cSuction valve V1\u201d"
                " (wrong)") in history[0].text, history[0].text
        facts = browser.find_element(By.ID, "learner-facts").text
        assert facts.startswith("begun: 10 of 30 points"), facts
        first = [c.text for c in browser.find_elements(By.CSS_SELECTOR, "#learner-scores tbody tr")[0]
                 .find_elements(By.TAG_NAME, "td")]
        assert first[1] == "solved on try 2" and first[2] == "10 of 20", first

        # Printed with a group filter: the page holds that group's learners only, and not the
        # detail of a learner of another group shown before.
        browser.find_element(By.CSS_SELECTOR, "#group-picker option[value='2']").click()
        browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        assert browser.execute_script("return matchMedia('print').matches")
        shown = [r.get_attribute("data-group") for r in
                 browser.find_elements(By.CSS_SELECTOR, "tr.learner-row") if r.is_displayed()]
        assert shown == ["2"] * len(summary["groups"][1]["learners"]), shown
        assert not browser.find_element(By.ID, "learner-section").is_displayed()
        note = browser.find_element(By.ID, "filter-note")
        assert note.is_displayed() and "Night <b>shift</b>" in note.text, note.text
        browser.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": ""})
        browser.find_element(By.CSS_SELECTOR, "#group-picker option[value='']").click()

        # Refresh on request, and the CSV links.
        browser.find_element(By.ID, "refresh").click()
        hrefs = {a.get_attribute("href") for a in browser.find_elements(By.CSS_SELECTOR, "a[download]")}
        assert hrefs == {url + name + ".csv?lang=GB&columns=en" for name in ("learners", "steps", "answers")}, hrefs

        errors = [e for e in browser.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
        assert not errors, errors

        # In French (?lang=fr): the overview, a learner and a step show no text of the English
        # catalogue that French says otherwise; the course's own texts stay as the course has them.
        # The switch lists the course's languages (its MSG folders), not the dashboard's.
        picker = [o.get_attribute("value") for o in browser.find_elements(By.CSS_SELECTOR, "#lang-picker option")]
        assert picker == ["GB", "FR"], picker
        steps_fr = json.load(urllib.request.urlopen(url + "api/steps?lang=FR"))["steps"]
        assert steps_fr[0]["question"] != steps[0]["question"], steps_fr[0]
        browser.find_element(By.CSS_SELECTOR, "#lang-picker option[value='FR']").click()
        wait.until(lambda b: b.execute_script("return location.search") == "?lang=FR")
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == learners_total)
        catalogue = browser.execute_script("return CATALOGUE")
        assert set(catalogue["fr"]) == set(catalogue["en"]), set(catalogue["en"]) ^ set(catalogue["fr"])
        assert browser.execute_script("return document.documentElement.lang") == "fr"
        browser.find_element(By.CSS_SELECTOR, "tr.learner-row[data-group='1'][data-user='2']").click()
        wait.until(lambda b: b.find_element(By.ID, "learner-title").text.startswith("Bruno Leroy"))
        browser.find_element(By.CSS_SELECTOR, "tr.step-row[data-step='1.1']").click()
        # The course's own text in French: the French question of the step.
        wait.until(lambda b: b.find_element(By.ID, "step-question").text == steps_fr[0]["question"])
        text = browser.execute_script("return document.body.innerText")
        assert "Apprenants" in text and "\u00c9tapes" in text and "commenc\u00e9" in text, text
        # The file names of the CSV links are names, not texts.
        course_texts = ["learners.csv", "steps.csv", "answers.csv", summary["course"]]
        course_texts += [g["name"] for g in summary["groups"]]
        course_texts += [l["name"] for g in summary["groups"] for l in g["learners"]]
        for step in steps + steps_fr:
            course_texts += [step["question"]] + step["answers"]
        for course_text in sorted(course_texts, key=len, reverse=True):
            text = text.replace(course_text, " ")
        english = []
        for key, value in catalogue["en"].items():
            if value == catalogue["fr"][key]:
                continue
            for fragment in re.split(r"\{\w+\}", value):
                fragment = fragment.strip(" .,:;()-%\u00d7")
                # A word both languages use ("points") is no English left over.
                if len(fragment) >= 3 and fragment not in catalogue["fr"][key] and re.search(r"(?<!\w)" + re.escape(fragment) + r"(?!\w)", text):
                    english.append((key, fragment))
        assert not english, (english, text)
        # A date in French words, and an error the server names by its code in French.
        when = browser.find_element(By.CSS_SELECTOR, "tr.learner-row[data-group='1'][data-user='1']") \
            .find_elements(By.TAG_NAME, "td")[10].text
        assert re.search(r"\b(janv|f\u00e9vr|mars|avr|mai|juin|juil|ao\u00fbt|sept|oct|nov|d\u00e9c)", when), when
        unknown = browser.execute_async_script(
            "const done = arguments[0]; getJson('/api/learners/1/99').then(() => done('found'), e => done(e.message))")
        assert unknown == catalogue["fr"]["error.no_learner"], unknown
        # The CSV links give French column names.
        link = browser.find_element(By.CSS_SELECTOR, "a[href^='/steps.csv']").get_attribute("href")
        assert link == url + "steps.csv?lang=FR&columns=fr", link
        head = urllib.request.urlopen(link).read().decode("utf-8-sig").split("\r\n")[0]
        assert head.startswith("niveau,\u00e9tape,question,genre,attendue,r\u00e9pondu,"), head
        # Switched to GB: the English page and the English question of the same step.
        browser.find_element(By.CSS_SELECTOR, "#lang-picker option[value='GB']").click()
        wait.until(lambda b: b.execute_script("return location.search") == "?lang=GB")
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == learners_total)
        assert browser.execute_script("return document.documentElement.lang") == "en"
        browser.find_element(By.CSS_SELECTOR, "tr.step-row[data-step='1.1']").click()
        wait.until(lambda b: b.find_element(By.ID, "step-question").text == steps[0]["question"])
        browser.quit()
        browser = None
        stop(server)
        server = None

        # HTTPS: a certificate made here, trusted by Chromium through its key's hash only.
        cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
                        "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        spki = subprocess.run(
            "openssl x509 -in '%s' -pubkey -noout | openssl pkey -pubin -outform der"
            " | openssl dgst -sha256 -binary | base64" % cert,
            shell=True, check=True, capture_output=True, text=True).stdout.strip()
        token = "s3cret-token-" + os.urandom(8).hex()
        token_file = os.path.join(work, "token")
        with open(token_file, "w") as f:
            f.write(token + "\r\n")
        server = subprocess.Popen([coursereport, "serve", course, "--port", "0", "--token-file",
                                   token_file, "--tls-cert", cert, "--tls-key", key],
                                  stdout=subprocess.PIPE, text=True)
        line = server.stdout.readline().strip()
        assert line.startswith("listening on https://127.0.0.1:"), line
        url = line[len("listening on "):]
        browser = webdriver.Chrome(service=Service(driver_path),
                                   options=chromium_options("profile-tls", spki))
        browser.set_page_load_timeout(30)
        wait = WebDriverWait(browser, 20)
        browser.get(url)
        assert browser.execute_script("return location.protocol") == "https:"
        field = wait.until(lambda b: b.find_element(By.NAME, "token"))
        field.send_keys(token)
        browser.find_element(By.CSS_SELECTOR, "form button[type=submit]").click()
        wait.until(lambda b: len(b.find_elements(By.CSS_SELECTOR, "tr.learner-row")) == learners_total)
        cookies = {c["name"]: c for c in browser.get_cookies()}
        session = cookies["coursereport_session"]
        assert session["secure"] and session["httpOnly"], session
        assert session.get("sameSite") == "Strict", session
        assert token not in session["value"], session
        # The page's own script cannot read it.
        assert "coursereport_session" not in browser.execute_script("return document.cookie")
        print("ok")
        return 0
    finally:
        if browser:
            browser.quit()
        if server:
            stop(server)
        shutil.rmtree(work, ignore_errors=True)


def stop(server):
    server.send_signal(signal.SIGTERM)
    server.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
