#include "report/Reports.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <set>

#include "data/UserRecord.h"

namespace report {

double Percent(int total, int worth) {
    if (worth == 0) return 0;
    return std::round(double(total) * 1000.0 / double(worth)) / 10.0;
}

std::string IsoTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return std::string();
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return out;
}

std::string TerminalText(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next =
            i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
            out += "\\u00";
            out += hex[next >> 4];
            out += hex[next & 15];
            ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}

namespace {

constexpr int kMaxAnswer = 6;

LearnerRow RowOf(const Learner& learner) {
    const data::UserRecord& r = learner.record;
    LearnerRow row;
    row.group = r.GroupNo;
    row.user = r.UserNo;
    row.name = r.UserName;
    row.state = r.State;
    row.level = r.Level;
    row.step = r.Step;
    row.total = r.Total;
    row.worth = r.TotalWorth;
    row.percent = Percent(r.Total, r.TotalWorth);
    // The user list's rule: a finished course is State -1.
    row.finished = r.State == data::kStateFinished;
    for (const StepScore& s : learner.scores) {
        row.time_s += s.time;
        row.visits += s.visits;
    }
    row.last_active = learner.last_active;
    row.unreadable = learner.Unreadable();
    return row;
}

}  // namespace

Summary MakeSummary(const CourseData& data, const std::string& course,
                    const std::string& language) {
    Summary summary;
    summary.course = course;
    summary.language = language;
    summary.steps = int(data.steps.size());
    summary.steps_problem = data.steps_problem;
    std::set<int> numbers;
    for (const Group& g : data.groups) numbers.insert(g.number);
    for (const Learner& l : data.learners) numbers.insert(l.record.GroupNo);
    for (int number : numbers) {
        GroupRows rows;
        rows.group = number;
        for (const Group& g : data.groups)
            if (g.number == number) rows.name = g.name;
        summary.groups.push_back(std::move(rows));
    }
    for (const Learner& l : data.learners) {
        auto at = std::find_if(summary.groups.begin(), summary.groups.end(),
                               [&](const GroupRows& g) { return g.group == l.record.GroupNo; });
        at->learners.push_back(RowOf(l));
    }
    return summary;
}

std::vector<StepRow> MakeSteps(const CourseData& data) {
    std::vector<StepRow> rows;
    // The score files index steps by their place in the whole lesson.
    std::vector<std::vector<int32_t>> times(data.steps.size());
    for (const StepText& text : data.steps) {
        StepRow row;
        row.level = text.level;
        row.step = text.step;
        row.question = text.question;
        row.answers = text.answers;
        row.expected = text.expected;
        rows.push_back(std::move(row));
    }
    auto index_of = [&](int level, int step) -> int {
        if (level < 1 || size_t(level) > data.level_steps.size() || step < 1 ||
            step > data.level_steps[size_t(level - 1)])
            return -1;
        int index = step - 1;
        for (int l = 1; l < level; ++l) index += data.level_steps[size_t(l - 1)];
        return index;
    };
    for (const Learner& learner : data.learners) {
        const size_t n = std::min(learner.scores.size(), rows.size());
        for (size_t i = 0; i < n; ++i) {
            const StepScore& s = learner.scores[i];
            rows[i].visits += s.visits;
            if (s.visits > 0) times[i].push_back(s.time);
        }
        std::vector<bool> seen(rows.size(), false);
        for (const HistoryLine& line : learner.history) {
            if (line.abandon) continue;
            const int index = index_of(line.level, line.step);
            if (index < 0) continue;
            StepRow& row = rows[size_t(index)];
            // A step offers at most six answers: anything else in a journal is counted, not kept
            // apart, so that no answer number can make a report grow.
            if (line.given >= 1 && line.given <= kMaxAnswer)
                row.given[line.given] += 1;
            else
                row.other += 1;
            if (!seen[size_t(index)]) {
                seen[size_t(index)] = true;
                row.answered += 1;
                if (line.expected == line.given) row.first_try_right += 1;
            }
        }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        std::vector<int32_t>& t = times[i];
        if (t.empty()) continue;
        std::sort(t.begin(), t.end());
        const size_t mid = t.size() / 2;
        rows[i].median_time_s = t.size() % 2 ? double(t[mid]) : (double(t[mid - 1]) + t[mid]) / 2;
    }
    return rows;
}

}  // namespace report
