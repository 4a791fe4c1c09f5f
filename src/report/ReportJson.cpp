// The reports as JSON (nlohmann) and as CSV.
#include <map>
#include <nlohmann/json.hpp>

#include "report/Reports.h"

namespace report {

namespace {

using nlohmann::json;

// Texts come from files a report does not trust: bytes that are not UTF-8 are replaced rather
// than failing the whole report.
std::string Dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json Nullable(const std::optional<int64_t>& seconds) {
    return seconds ? json(IsoTime(*seconds)) : json(nullptr);
}

json NullableLocal(const std::optional<int64_t>& seconds) {
    return seconds ? json(LocalTime(*seconds)) : json(nullptr);
}

// The text of answer number (1 to 6) of a choice step; empty when the step offers none.
std::string AnswerText(const std::vector<std::string>& answers, int answer) {
    return answer >= 1 && size_t(answer) <= answers.size() ? answers[size_t(answer - 1)]
                                                           : std::string();
}

// One CSV field: quoted when it holds a comma, a quote or a line end; quotes doubled.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// A text cell: one that starts like a formula gets a leading apostrophe, so that a spreadsheet
// shows a learner's name instead of running it.
std::string Text(const std::string& text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos)
        return "'" + text;
    return text;
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : "; ") + t;
    return out;
}

std::string Number(double value) {
    json v = value;
    return v.dump();
}

// A CSV starts with the UTF-8 byte order mark, which spreadsheet programs need to read UTF-8
// (names with accents) rather than their own code page.
constexpr char kBom[] = "\xEF\xBB\xBF";

// Answer columns of steps.csv: a step offers at most six answers.
constexpr int kMaxAnswerColumns = 6;

template <class Fields>
void Row(std::string& out, const Fields& fields) {
    bool first = true;
    for (const std::string& f : fields) {
        if (!first) out += ',';
        out += Field(f);
        first = false;
    }
    out += "\r\n";
}

void Row(std::string& out, std::initializer_list<std::string> fields) {
    Row<std::initializer_list<std::string>>(out, fields);
}

}  // namespace

std::string SummaryJson(const Summary& summary) {
    json groups = json::array();
    for (const GroupRows& g : summary.groups) {
        json learners = json::array();
        for (const LearnerRow& l : g.learners) {
            json row = {{"group", l.group},
                        {"user", l.user},
                        {"name", l.name},
                        {"state", l.state},
                        {"status", StateName(l)},
                        {"nothing_sent", l.nothing_sent},
                        {"level", l.level},
                        {"step", l.step},
                        {"total", l.total},
                        {"worth", l.worth},
                        {"percent", l.percent},
                        {"finished", l.finished},
                        {"time_s", l.time_s},
                        {"visits", l.visits},
                        {"last_active", Nullable(l.last_active)},
                        {"last_active_local", NullableLocal(l.last_active)}};
            row["unreadable"] = l.unreadable.empty() ? json(nullptr) : json(l.unreadable);
            row["answered"] = l.answered;
            row["first_try_right"] = l.first_try_right;
            row["needs_help"] = !l.help.empty();
            row["help"] = l.help;
            json reasons = json::array();
            for (const HelpReason& r : l.help_reasons) {
                json reason = {{"reason", r.code}};
                if (r.code == "idle") reason["days"] = r.first;
                if (r.code == "failed") reason.update({{"step", r.step}, {"times", r.first}});
                if (r.code == "below_group") reason.update({{"own", r.first}, {"group", r.second}});
                reasons.push_back(std::move(reason));
            }
            row["help_reasons"] = std::move(reasons);
            learners.push_back(std::move(row));
        }
        groups.push_back({{"group", g.group}, {"name", g.name}, {"learners", learners}});
    }
    return Dump({{"course", summary.course},
                 {"language", summary.language},
                 {"steps", summary.steps},
                 {"steps_problem",
                  summary.steps_problem.empty() ? json(nullptr) : json(summary.steps_problem)},
                 {"help_rule",
                  {{"idle_days", summary.help_rule.idle_days},
                   {"failures", summary.help_rule.failures},
                   {"below_group", summary.help_rule.below_group},
                   {"min_answered", summary.help_rule.min_answered}}},
                 {"groups", groups}});
}

std::string StepsJson(const std::vector<StepRow>& steps) {
    json rows = json::array();
    for (const StepRow& s : steps) {
        json given = json::object();
        for (const auto& [answer, count] : s.given) given[std::to_string(answer)] = count;
        rows.push_back({{"level", s.level},
                        {"step", s.step},
                        {"question", s.question},
                        {"answers", s.answers},
                        {"expected", s.expected},
                        {"choice", s.choice},
                        {"answered", s.answered},
                        {"first_try_right", s.first_try_right},
                        {"solved", s.solved},
                        {"points", s.points},
                        {"given", given},
                        {"other", s.other},
                        {"outside", s.outside},
                        {"median_time_s", s.median_time_s ? json(*s.median_time_s) : json()},
                        {"visits", s.visits}});
    }
    return Dump({{"steps", rows}});
}

std::string LearnerJson(const Learner& learner, const CourseData& data) {
    const data::UserRecord& r = learner.record;
    LearnerRow state;
    state.state = r.State;
    state.finished = r.State == data::kStateFinished;
    state.nothing_sent = learner.nothing_sent;
    std::string group_name;
    for (const Group& g : data.groups)
        if (g.number == r.GroupNo) group_name = g.name;
    json scores = json::array();
    for (size_t i = 0; i < learner.scores.size(); ++i) {
        const StepScore& s = learner.scores[i];
        json row = {{"index", i},         {"score", s.score},        {"worth", s.worth},
                    {"bonus", s.bonus},   {"time_s", s.time},        {"visits", s.visits},
                    {"status", s.status}, {"result", StepResult(s)}, {"try", SolvedOnTry(s)}};
        if (i < data.steps.size()) {
            row["level"] = data.steps[i].level;
            row["step"] = data.steps[i].step;
            row["choice"] = !data.steps[i].answers.empty();
        }
        scores.push_back(std::move(row));
    }
    json history = json::array();
    for (const HistoryLine& h : learner.history) {
        if (h.abandon) {
            history.push_back({{"kind", "abandon"}});
            continue;
        }
        const int index = StepIndex(data, h.level, h.step);
        const std::vector<std::string> none;
        const std::vector<std::string>& answers =
            index < 0 ? none : data.steps[size_t(index)].answers;
        history.push_back({{"kind", "answer"},
                           {"f", h.f},
                           {"level", h.level},
                           {"step", h.step},
                           {"expected", h.expected},
                           {"expected_text", AnswerText(answers, h.expected)},
                           {"given", h.given},
                           {"given_text", AnswerText(answers, h.given)},
                           {"right", h.expected == h.given},
                           {"series", h.series},
                           {"directory", h.directory}});
    }
    return Dump(
        {{"group", r.GroupNo},
         {"group_name", group_name},
         {"user", r.UserNo},
         {"name", r.UserName},
         {"state", r.State},
         {"status", StateName(state)},
         {"nothing_sent", learner.nothing_sent},
         {"finished", r.State == data::kStateFinished},
         {"level", r.Level},
         {"first_level", r.FirstLevel},
         {"max_level", r.MaxLevel},
         {"step", r.Step},
         {"step_count", r.StepCount},
         {"retries", r.Retries},
         {"total", r.Total},
         {"worth", r.TotalWorth},
         {"percent", Percent(r.Total, r.TotalWorth)},
         {"may_configure", r.MayConfigure != 0},
         {"last_active", Nullable(learner.last_active)},
         {"last_active_local", NullableLocal(learner.last_active)},
         {"unreadable", learner.Unreadable().empty() ? json(nullptr) : json(learner.Unreadable())},
         {"scores", scores},
         {"history", history}});
}

std::string LearnersCsv(const Summary& summary) {
    std::string out = kBom;
    Row(out,
        {"group", "group_name", "user", "name", "state", "level", "step", "total", "worth",
         "percent", "finished", "time_s", "visits", "last_active", "unreadable", "needs_help"});
    for (const GroupRows& g : summary.groups)
        for (const LearnerRow& l : g.learners)
            Row(out, {std::to_string(l.group), Text(g.name), std::to_string(l.user), Text(l.name),
                      StateName(l), std::to_string(l.level), std::to_string(l.step),
                      std::to_string(l.total), std::to_string(l.worth), Number(l.percent),
                      l.finished ? "true" : "false", std::to_string(l.time_s),
                      std::to_string(l.visits), l.last_active ? LocalTime(*l.last_active) : "",
                      Text(l.unreadable), Joined(l.help)});
    return out;
}

std::string StepsCsv(const std::vector<StepRow>& steps) {
    std::string out = kBom;
    std::vector<std::string> head = {"level",    "step",     "question",        "kind",
                                     "expected", "answered", "first_try_right", "solved"};
    for (int a = 1; a <= kMaxAnswerColumns; ++a) {
        head.push_back("answer_" + std::to_string(a));
        head.push_back("answer_" + std::to_string(a) + "_count");
    }
    for (const char* name : {"other", "outside", "median_time_s", "visits"}) head.push_back(name);
    Row(out, head);
    for (const StepRow& s : steps) {
        std::vector<std::string> cells = {std::to_string(s.level),
                                          std::to_string(s.step),
                                          Text(s.question),
                                          s.choice ? "choice" : "practical or estimate",
                                          std::to_string(s.expected),
                                          std::to_string(s.answered),
                                          std::to_string(s.first_try_right),
                                          std::to_string(s.solved)};
        for (int a = 1; a <= kMaxAnswerColumns; ++a) {
            const auto at = s.given.find(a);
            const bool offered = size_t(a) <= s.answers.size();
            cells.push_back(Text(AnswerText(s.answers, a)));
            cells.push_back(offered || at != s.given.end()
                                ? std::to_string(at == s.given.end() ? 0 : at->second)
                                : "");
        }
        cells.push_back(std::to_string(s.other));
        cells.push_back(std::to_string(s.outside));
        cells.push_back(s.median_time_s ? Number(*s.median_time_s) : "");
        cells.push_back(std::to_string(s.visits));
        Row(out, cells);
    }
    return out;
}

std::string CsvInLanguage(const std::string& csv, const std::string& language) {
    if (language != "fr") return csv;
    static const std::map<std::string, std::string> kFrench = {
        {"group", "groupe"},
        {"group_name", "nom du groupe"},
        {"user", "apprenant"},
        {"name", "nom"},
        {"state", "\xC3\xA9tat"},
        {"level", "niveau"},
        {"step", "\xC3\xA9tape"},
        {"total", "total"},
        {"worth", "sur"},
        {"percent", "pourcentage"},
        {"finished", "termin\xC3\xA9"},
        {"time_s",
         "dur\xC3\xA9"
         "e (s)"},
        {"visits", "passages"},
        {"last_active", "derni\xC3\xA8re activit\xC3\xA9"},
        {"unreadable", "illisible"},
        {"needs_help", "besoin d'aide"},
        {"question", "question"},
        {"kind", "genre"},
        {"expected", "attendue"},
        {"answered", "r\xC3\xA9pondu"},
        {"first_try_right", "juste du premier coup"},
        {"solved", "r\xC3\xA9ussie"},
        {"other", "autre"},
        {"outside", "hors tol\xC3\xA9rance"},
        {"median_time_s",
         "dur\xC3\xA9"
         "e m\xC3\xA9"
         "diane (s)"},
        {"given",
         "donn\xC3\xA9"
         "e"},
        {"given_text", "texte donn\xC3\xA9"},
        {"expected_text", "texte attendu"},
        {"right", "juste"},
        {"step_time_s",
         "dur\xC3\xA9"
         "e de l'\xC3\xA9tape (s)"}};
    const size_t bom = csv.rfind(kBom, 0) == 0 ? sizeof kBom - 1 : 0;
    const size_t end = csv.find("\r\n", bom);
    if (end == std::string::npos) return csv;
    std::vector<std::string> names;
    for (size_t at = bom; at <= end;) {
        const size_t comma = std::min(csv.find(',', at), end);
        std::string name = csv.substr(at, comma - at);
        // answer_3 and answer_3_count: "r\xC3\xA9ponse 3" and "r\xC3\xA9ponse 3 (fois)".
        if (name.rfind("answer_", 0) == 0)
            name = "r\xC3\xA9ponse " + name.substr(7, 1) + (name.size() > 8 ? " (fois)" : "");
        else if (const auto at_name = kFrench.find(name); at_name != kFrench.end())
            name = at_name->second;
        names.push_back(std::move(name));
        at = comma + 1;
    }
    std::string out = csv.substr(0, bom);
    Row(out, names);
    return out + csv.substr(end + 2);
}

std::string AnswersCsv(const CourseData& data) {
    std::string out = kBom;
    Row(out, {"group", "group_name", "user", "name", "level", "step", "given", "given_text",
              "expected", "expected_text", "right", "step_time_s"});
    for (const Learner& l : data.learners) {
        std::string group_name;
        for (const Group& g : data.groups)
            if (g.number == l.record.GroupNo) group_name = g.name;
        for (const HistoryLine& h : l.history) {
            if (h.abandon) continue;
            const int index = StepIndex(data, h.level, h.step);
            const std::vector<std::string> none;
            const std::vector<std::string>& answers =
                index < 0 ? none : data.steps[size_t(index)].answers;
            const std::string time = index >= 0 && size_t(index) < l.scores.size()
                                         ? std::to_string(l.scores[size_t(index)].time)
                                         : "";
            Row(out, {std::to_string(l.record.GroupNo), Text(group_name),
                      std::to_string(l.record.UserNo), Text(l.record.UserName),
                      std::to_string(h.level), std::to_string(h.step), std::to_string(h.given),
                      Text(AnswerText(answers, h.given)), std::to_string(h.expected),
                      Text(AnswerText(answers, h.expected)),
                      h.expected == h.given ? "true" : "false", time});
        }
    }
    return out;
}

}  // namespace report
