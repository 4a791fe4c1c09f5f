// The reports as JSON (nlohmann) and as CSV.
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

std::string Number(double value) {
    json v = value;
    return v.dump();
}

void Row(std::string& out, std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& f : fields) {
        if (!first) out += ',';
        out += Field(f);
        first = false;
    }
    out += "\r\n";
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
                        {"level", l.level},
                        {"step", l.step},
                        {"total", l.total},
                        {"worth", l.worth},
                        {"percent", l.percent},
                        {"finished", l.finished},
                        {"time_s", l.time_s},
                        {"visits", l.visits},
                        {"last_active", Nullable(l.last_active)}};
            row["unreadable"] = l.unreadable.empty() ? json(nullptr) : json(l.unreadable);
            learners.push_back(std::move(row));
        }
        groups.push_back({{"group", g.group}, {"name", g.name}, {"learners", learners}});
    }
    return Dump({{"course", summary.course},
                 {"language", summary.language},
                 {"steps", summary.steps},
                 {"steps_problem",
                  summary.steps_problem.empty() ? json(nullptr) : json(summary.steps_problem)},
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
                        {"answered", s.answered},
                        {"first_try_right", s.first_try_right},
                        {"given", given},
                        {"other", s.other},
                        {"median_time_s", s.median_time_s ? json(*s.median_time_s) : json()},
                        {"visits", s.visits}});
    }
    return Dump({{"steps", rows}});
}

std::string LearnerJson(const Learner& learner, const CourseData& data) {
    const data::UserRecord& r = learner.record;
    std::string group_name;
    for (const Group& g : data.groups)
        if (g.number == r.GroupNo) group_name = g.name;
    json scores = json::array();
    for (size_t i = 0; i < learner.scores.size(); ++i) {
        const StepScore& s = learner.scores[i];
        json row = {{"index", i},        {"score", s.score}, {"worth", s.worth},
                    {"bonus", s.bonus},  {"time_s", s.time}, {"visits", s.visits},
                    {"status", s.status}};
        if (i < data.steps.size()) {
            row["level"] = data.steps[i].level;
            row["step"] = data.steps[i].step;
        }
        scores.push_back(std::move(row));
    }
    json history = json::array();
    for (const HistoryLine& h : learner.history) {
        if (h.abandon) {
            history.push_back({{"kind", "abandon"}});
            continue;
        }
        history.push_back({{"kind", "answer"},
                           {"f", h.f},
                           {"level", h.level},
                           {"step", h.step},
                           {"expected", h.expected},
                           {"given", h.given},
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
         {"unreadable", learner.Unreadable().empty() ? json(nullptr) : json(learner.Unreadable())},
         {"scores", scores},
         {"history", history}});
}

std::string LearnersCsv(const Summary& summary) {
    std::string out;
    Row(out, {"group", "group_name", "user", "name", "state", "level", "step", "total", "worth",
              "percent", "finished", "time_s", "visits", "last_active", "unreadable"});
    for (const GroupRows& g : summary.groups)
        for (const LearnerRow& l : g.learners)
            Row(out,
                {std::to_string(l.group), Text(g.name), std::to_string(l.user), Text(l.name),
                 std::to_string(l.state), std::to_string(l.level), std::to_string(l.step),
                 std::to_string(l.total), std::to_string(l.worth), Number(l.percent),
                 l.finished ? "true" : "false", std::to_string(l.time_s), std::to_string(l.visits),
                 l.last_active ? IsoTime(*l.last_active) : "", Text(l.unreadable)});
    return out;
}

std::string StepsCsv(const std::vector<StepRow>& steps) {
    std::string out;
    Row(out, {"level", "step", "question", "expected", "answered", "first_try_right", "given",
              "median_time_s", "visits"});
    for (const StepRow& s : steps) {
        std::string given;
        for (const auto& [answer, count] : s.given) {
            if (!given.empty()) given += ' ';
            given += std::to_string(answer) + ":" + std::to_string(count);
        }
        if (s.other > 0) given += (given.empty() ? "other:" : " other:") + std::to_string(s.other);
        Row(out, {std::to_string(s.level), std::to_string(s.step), Text(s.question),
                  std::to_string(s.expected), std::to_string(s.answered),
                  std::to_string(s.first_try_right), given,
                  s.median_time_s ? Number(*s.median_time_s) : "", std::to_string(s.visits)});
    }
    return out;
}

}  // namespace report
