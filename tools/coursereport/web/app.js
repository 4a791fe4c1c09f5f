// The report page: reads /api/summary and /api/steps and shows them. Every text from the
// course goes into the page as text (textContent), never as markup.
"use strict";

const MAX_ANSWER = 6;
// The course language whose reports the page shows (one of the course's MSG folders: GB, FR),
// and the dashboard's language: ?lang= names either (a course language first), else the
// course's own, else the browser's, else English. A course language the catalogue lacks reads
// in English.
const lang = { chosen: null, course: "", languages: [] };
function pickCourseLanguage(languages) {
  const asked = String(new URLSearchParams(location.search).get("lang") || "").toUpperCase();
  lang.languages = languages;
  lang.course = languages.includes(asked) ? asked : (languages[0] || "");
}
function pickLanguage(courseLanguage) {
  const asked = new URLSearchParams(location.search).get("lang");
  if (asked && lang.languages.includes(asked.toUpperCase())) {
    const code = asked.toLowerCase();
    return CATALOGUE[code] ? code : COURSE_LANGUAGES[asked.toUpperCase()] || "en";
  }
  const candidates = [asked, COURSE_LANGUAGES[String(courseLanguage || "").toUpperCase()],
                      ...(navigator.languages || [navigator.language])];
  for (const c of candidates) {
    const code = String(c || "").toLowerCase().split("-")[0];
    if (CATALOGUE[code]) return code;
  }
  return "en";
}
// A report's address for the course language shown.
function api(path) { return lang.course ? path + "?lang=" + encodeURIComponent(lang.course) : path; }
// The text of key in the chosen language, with its {names} filled from values.
function t(key, values) {
  const texts = CATALOGUE[lang.chosen || "en"];
  const text = key in texts ? texts[key] : CATALOGUE.en[key];
  return text.replace(/\{(\w+)\}/g, (all, name) => values && name in values ? String(values[name]) : all);
}
function number(value, digits) {
  return new Intl.NumberFormat(lang.chosen || "en", { maximumFractionDigits: digits || 0 }).format(value);
}
function percent(value) {
  return new Intl.NumberFormat(lang.chosen || "en", { style: "percent", maximumFractionDigits: 1 }).format(value / 100);
}
// Every element marked data-i18n takes its text from the catalogue.
function translatePage() {
  document.documentElement.lang = lang.chosen;
  for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = t(node.dataset.i18n);
  // The CSV files of the course language shown, their column names in the page's language.
  for (const link of document.querySelectorAll("a[download]")) {
    const params = new URLSearchParams();
    if (lang.course) params.set("lang", lang.course);
    params.set("columns", lang.chosen);
    link.href = link.getAttribute("href").split("?")[0] + "?" + params;
  }
  document.title = t("title");
  // The switch lists the course's languages.
  const picker = document.getElementById("lang-picker");
  if (lang.languages.length) {
    clear(picker);
    for (const code of lang.languages) {
      const option = el("option", code);
      option.value = code;
      picker.appendChild(option);
    }
    picker.value = lang.course;
  } else {
    picker.value = lang.chosen;
  }
}
const STATUS_KEYS = { "new": "status.new", "begun": "status.begun",
                      "begun, nothing sent yet": "status.nothing_sent", "finished": "status.finished" };
function statusText(status) { return STATUS_KEYS[status] ? t(STATUS_KEYS[status]) : status; }
function reasonText(r) {
  if (r.reason === "below_group") return t("reason.below_group", { own: percent(r.own), group: percent(r.group) });
  if (r.reason === "failed" && r.times === 1) return t("reason.failed.once", r);
  return t("reason." + r.reason, r);
}

const state = { summary: null, steps: null, sortKey: "group", sortUp: true, charts: {}, shown: null };

function el(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

function row(cells) {
  const tr = document.createElement("tr");
  for (const cell of cells) {
    const td = document.createElement("td");
    if (cell instanceof Node) td.appendChild(cell); else td.textContent = cell === null ? "" : String(cell);
    tr.appendChild(td);
  }
  return tr;
}

function clear(node) { while (node.firstChild) node.removeChild(node.firstChild); }

// Seconds as a person reads them: "45 s", "3 min 05 s", "1 h 02 min".
function duration(seconds) {
  if (seconds === null || seconds === undefined) return "-";
  const s = Math.round(seconds);
  if (s < 60) return s + " s";
  if (s < 3600) return Math.floor(s / 60) + " min " + String(s % 60).padStart(2, "0") + " s";
  return Math.floor(s / 3600) + " h " + String(Math.floor(s / 60) % 60).padStart(2, "0") + " min";
}

// A time of the report (ISO 8601 in UTC) in the chosen language, in the browser's time zone with
// its name; the server's own wording of it when the browser cannot read it.
function when(iso, local) {
  const date = iso ? new Date(iso) : null;
  if (!date || isNaN(date.getTime())) return local || "-";
  return new Intl.DateTimeFormat(lang.chosen || "en", { year: "numeric", month: "short", day: "numeric",
    hour: "2-digit", minute: "2-digit", timeZoneName: "short" }).format(date);
}

// An answer number with its text, when the step offers one.
function answerText(number, text) { return text ? number + " \u201c" + text + "\u201d" : String(number); }

async function getJson(path) {
  const response = await fetch(path, { credentials: "same-origin", cache: "no-store" });
  if (!response.ok) {
    // An error the server names by a code is worded by the catalogue; the server's English
    // text goes in as the detail (it names the file at fault).
    const answer = await response.json().catch(() => null);
    if (answer && typeof answer.code === "string" && ("error." + answer.code) in CATALOGUE.en)
      throw new Error(t("error." + answer.code, { detail: answer.error }));
    throw new Error(t("error.http", { path, status: response.status, text: response.statusText }));
  }
  return response.json();
}

function showError(message) {
  const p = document.getElementById("error");
  p.textContent = message || "";
  p.hidden = !message;
}

function learners() {
  const picked = document.getElementById("group-picker").value;
  const helpOnly = document.getElementById("help-only").checked;
  const rows = [];
  for (const group of state.summary.groups) {
    if (picked !== "" && String(group.group) !== picked) continue;
    for (const learner of group.learners) if (!helpOnly || learner.needs_help) rows.push(learner);
  }
  const key = state.sortKey, sign = state.sortUp ? 1 : -1;
  rows.sort((a, b) => {
    let x = a[key], y = b[key];
    if (typeof x === "boolean") { x = Number(x); y = Number(y); }
    if (x === null) x = ""; if (y === null) y = "";
    if (typeof x === "string") return sign * x.localeCompare(y) || (a.group - b.group) || (a.user - b.user);
    return sign * (x - y) || (a.group - b.group) || (a.user - b.user);
  });
  return rows;
}

function fillGroups() {
  const picker = document.getElementById("group-picker");
  const chosen = picker.value;
  while (picker.options.length > 1) picker.remove(1);
  for (const group of state.summary.groups) {
    const option = el("option", group.group + " - " + group.name);
    option.value = String(group.group);
    picker.appendChild(option);
  }
  picker.value = chosen;
  if (picker.value !== chosen) picker.value = "";
}

// The group filter applies to everything shown of learners: a learner's detail from another
// group goes, so that the screen (and its printout) holds only the chosen group.
function applyFilter() {
  const picked = document.getElementById("group-picker").value;
  const note = document.getElementById("filter-note");
  const group = state.summary.groups.find(g => String(g.group) === picked);
  note.textContent = group ? t("filter.note", { group: group.group, name: group.name }) : "";
  note.hidden = !group;
  if (state.shown && picked !== "" && String(state.shown.group) !== picked) {
    state.shown = null;
    document.getElementById("learner-section").hidden = true;
  }
}

function fillLearners() {
  applyFilter();
  const body = document.querySelector("#learners tbody");
  clear(body);
  for (const learner of learners()) {
    const bar = el("span", null, "bar");
    const fill = el("span");
    fill.style.width = Math.max(0, Math.min(100, learner.percent)) + "%";
    bar.appendChild(fill);
    const progress = el("span");
    progress.appendChild(bar);
    progress.appendChild(document.createTextNode(" " + percent(learner.percent)));
    const tr = row([learner.group, learner.user, learner.name, progress,
                    learner.finished ? "\u2714" : "", statusText(learner.status), learner.level, learner.step,
                    duration(learner.time_s), number(learner.visits), when(learner.last_active, learner.last_active_local),
                    learner.help_reasons.map(reasonText).join("; ")]);
    tr.className = "clickable learner-row" + (learner.unreadable ? " unreadable" : "") +
                   (learner.needs_help ? " needs-help" : "");
    tr.dataset.group = learner.group;
    tr.dataset.user = learner.user;
    if (learner.unreadable) tr.title = t("unreadable", { why: learner.unreadable });
    tr.addEventListener("click", () => showLearner(learner.group, learner.user));
    body.appendChild(tr);
  }
  for (const th of document.querySelectorAll("#learners th[data-key]")) {
    th.classList.toggle("sorted-up", th.dataset.key === state.sortKey && state.sortUp);
    th.classList.toggle("sorted-down", th.dataset.key === state.sortKey && !state.sortUp);
  }
}

function commonWrong(step) {
  let best = null;
  for (const [answer, count] of Object.entries(step.given)) {
    if (Number(answer) === step.expected || !(Number(answer) >= 1 && Number(answer) <= MAX_ANSWER)) continue;
    if (best === null || count > best.count) best = { answer: Number(answer), count };
  }
  return best;
}

function stepName(step) { return step.level + "." + step.step; }

function fillSteps() {
  const body = document.querySelector("#steps tbody");
  clear(body);
  for (const step of state.steps.steps) {
    const wrong = commonWrong(step);
    // A practical or estimate step has no answer numbers: its wrong estimates are shown instead.
    const wrongText = !step.choice ? (step.outside ? t("outside", { n: step.outside }) : "-")
                    : wrong ? answerText(wrong.answer, step.answers[wrong.answer - 1]) + " (" + wrong.count + "\u00d7)" : "-";
    const right = step.answered ? step.first_try_right + " / " + step.answered : "-";
    const tr = row([stepName(step), step.question.split("\n")[0], step.answered, right, wrongText,
                    duration(step.median_time_s), step.visits]);
    tr.className = "clickable step-row";
    tr.dataset.step = stepName(step);
    tr.addEventListener("click", () => showStep(step));
    body.appendChild(tr);
  }
}

function drawCharts() {
  if (typeof Chart === "undefined") return;
  const labels = state.steps.steps.map(stepName);
  const success = state.steps.steps.map(s => s.answered ? Math.round(1000 * s.first_try_right / s.answered) / 10 : 0);
  const times = state.steps.steps.map(s => s.median_time_s === null ? 0 : s.median_time_s);
  const draw = (id, label, data, color, max) => {
    const chart = state.charts[id];
    if (chart) {
      chart.data.labels = labels;
      chart.data.datasets[0].data = data;
      chart.update();
      return;
    }
    state.charts[id] = new Chart(document.getElementById(id), {
      type: "bar",
      data: { labels, datasets: [{ label, data, backgroundColor: color }] },
      options: { animation: false, responsive: true, maintainAspectRatio: false,
                 plugins: { legend: { display: false } },
                 scales: { y: { beginAtZero: true, max } } }
    });
  };
  draw("chart-success", t("chart.success.label"), success, "#3a7bd5", 100);
  draw("chart-time", t("chart.time.label"), times, "#e08a1e", undefined);
}

function showStep(step) {
  document.getElementById("step-section").hidden = false;
  document.getElementById("step-title").textContent = t("step.title", { step: stepName(step) });
  document.getElementById("step-question").textContent = step.question;
  const body = document.querySelector("#step-answers tbody");
  clear(body);
  const wrong = commonWrong(step);
  // A step offers at most six answers; any other number given is shown as one "other" row.
  const facts = document.getElementById("step-facts");
  facts.textContent = step.choice ? "" :
    t("practical", { answered: step.answered, solved: step.solved, first: step.first_try_right, points: number(step.points) }) +
    (step.outside ? t("practical.outside", { n: step.outside }) : "") + ".";
  facts.hidden = step.choice;
  const given = Object.keys(step.given).map(Number).filter(a => a >= 1 && a <= MAX_ANSWER);
  const count = Math.min(MAX_ANSWER, Math.max(step.answers.length, ...given, 0));
  for (let answer = 1; answer <= count; ++answer) {
    const chosen = step.given[String(answer)] || 0;
    const note = answer === step.expected ? t("right.answer")
               : wrong && wrong.answer === answer ? t("common.wrong") : "";
    const tr = row([answer, step.answers[answer - 1] || "", chosen, note]);
    if (answer === step.expected) tr.className = "expected";
    else if (wrong && wrong.answer === answer) tr.className = "common-wrong";
    body.appendChild(tr);
  }
  if (step.other > 0) {
    const tr = row([t("other"), t("other.text"), step.other, ""]);
    tr.className = "other-answer";
    body.appendChild(tr);
  }
  document.getElementById("step-section").scrollIntoView();
}

async function showLearner(group, user) {
  try {
    const learner = await getJson(api("/api/learners/" + group + "/" + user));
    state.shown = { group, user };
    document.getElementById("learner-section").hidden = false;
    document.getElementById("learner-title").textContent =
      learner.name + " (" + learner.group_name + ", " + group + ":" + user + ")";
    document.getElementById("learner-facts").textContent =
      t("facts", { status: statusText(learner.status), total: learner.total, worth: learner.worth,
                   percent: percent(learner.percent), level: learner.level, step: learner.step,
                   when: when(learner.last_active, learner.last_active_local) }) +
      (learner.unreadable ? ". " + t("unreadable", { why: learner.unreadable }) : "");
    const body = document.querySelector("#learner-scores tbody");
    clear(body);
    for (const s of learner.scores) {
      const name = s.level !== undefined ? s.level + "." + s.step : String(s.index + 1);
      const word = t("result." + s.result);
      const result = s.try > 1 ? t("try.n", { result: word, n: s.try }) : s.try === 1 ? t("try.first", { result: word }) : word;
      const points = s.score < 0 ? "-" : t("points.of", { score: s.score, worth: s.worth });
      body.appendChild(row([name, result, points, s.bonus, duration(s.time_s), s.visits]));
    }
    const list = document.getElementById("learner-history");
    clear(list);
    for (const h of learner.history) {
      // An estimate outside the tolerance is journalled as -1: said so, not shown as an answer.
      const given = h.given === -1 && !h.given_text ? t("estimate.outside")
                  : answerText(h.given, h.given_text);
      list.appendChild(el("li", h.kind === "abandon" ? t("left.step")
        : t("history", { step: h.level + "." + h.step, given, expected: answerText(h.expected, h.expected_text),
                         verdict: t(h.right ? "right" : "wrong") })));
    }
    document.getElementById("learner-section").scrollIntoView();
  } catch (e) {
    showError(e.message);
  }
}

async function refresh() {
  try {
    if (!lang.chosen) pickCourseLanguage((await getJson("/api/languages")).languages);
    const [summary, steps] = await Promise.all([getJson(api("/api/summary")), getJson(api("/api/steps"))]);
    state.summary = summary;
    state.steps = steps;
    if (!lang.chosen) {
      lang.chosen = pickLanguage(summary.language);
      translatePage();
    }
    document.getElementById("title").textContent =
      t("title.course", { course: summary.course, language: summary.language });
    const problem = document.getElementById("steps-problem");
    problem.textContent = summary.steps_problem ? t("steps.problem", { why: summary.steps_problem }) : "";
    problem.hidden = !summary.steps_problem;
    const rule = summary.help_rule;
    document.getElementById("help-rule").textContent = t("rule", { parts:
      [rule.idle_days > 0 ? t("rule.idle", { n: rule.idle_days }) : null,
       rule.failures > 0 ? t("rule.failed", { n: rule.failures }) : null,
       t("rule.below", { n: rule.below_group, m: rule.min_answered })].filter(Boolean).join("; ") });
    fillGroups();
    fillLearners();
    fillSteps();
    drawCharts();
    document.getElementById("updated").textContent = t("updated", { time: new Date().toLocaleTimeString(lang.chosen) });
    showError("");
  } catch (e) {
    showError(e.message);
  }
}

document.addEventListener("DOMContentLoaded", () => {
  document.getElementById("refresh").addEventListener("click", refresh);
  // Another language: the page again, with ?lang= in its address.
  document.getElementById("lang-picker").addEventListener("change", (event) => {
    const params = new URLSearchParams(location.search);
    params.set("lang", event.target.value);
    location.search = params.toString();
  });
  document.getElementById("group-picker").addEventListener("change", () => { if (state.summary) fillLearners(); });
  document.getElementById("help-only").addEventListener("change", () => { if (state.summary) fillLearners(); });
  for (const th of document.querySelectorAll("#learners th[data-key]")) {
    th.addEventListener("click", () => {
      state.sortUp = state.sortKey === th.dataset.key ? !state.sortUp : true;
      state.sortKey = th.dataset.key;
      if (state.summary) fillLearners();
    });
  }
  refresh();
  setInterval(refresh, 30000);
});
