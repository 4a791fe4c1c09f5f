#include "report/Reports.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

std::string LocalTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return std::string();
    char out[40];
    if (std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S %z", &tm) == 0) return std::string();
    std::string text = out;
    // "+0100" as "+01:00", the form ISO 8601 and a reader both know.
    if (text.size() >= 5 && (text[text.size() - 5] == '+' || text[text.size() - 5] == '-'))
        text.insert(text.size() - 2, ":");
    return text;
}

std::string Duration(int64_t seconds) {
    char out[48];
    const long long s = seconds < 0 ? 0 : static_cast<long long>(seconds);
    if (s < 60)
        std::snprintf(out, sizeof out, "%lld s", s);
    else if (s < 3600)
        std::snprintf(out, sizeof out, "%lld min %02lld s", s / 60, s % 60);
    else
        std::snprintf(out, sizeof out, "%lld h %02lld min", s / 3600, s / 60 % 60);
    return out;
}

namespace {

// Columns a code point takes in a terminal: 0 for combining marks and joiners, 2 for the wide
// (East Asian and emoji) blocks, 1 for the others.
int CodePointWidth(char32_t c) {
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kZero[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD},
                                      {0x0610, 0x061A}, {0x064B, 0x065F}, {0x1AB0, 0x1AFF},
                                      {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF},
                                      {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}};
    static constexpr Range kWide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},  {0x3041, 0x33FF},
                                      {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},  {0xA000, 0xA4CF},
                                      {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},  {0xFE30, 0xFE4F},
                                      {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
                                      {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD}};
    for (const Range& r : kZero)
        if (c >= r.first && c <= r.last) return 0;
    for (const Range& r : kWide)
        if (c >= r.first && c <= r.last) return 2;
    return 1;
}

}  // namespace

int DisplayWidth(std::string_view text) {
    int width = 0;
    for (size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const size_t length = b < 0x80         ? 1
                              : (b >> 5) == 6  ? 2
                              : (b >> 4) == 14 ? 3
                              : (b >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > text.size()) {  // not UTF-8: one column a byte
            ++width;
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        bool valid = true;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            ++width;
            ++i;
            continue;
        }
        width += CodePointWidth(c);
        i += length;
    }
    return width;
}

std::string PadRight(std::string_view text, int width) {
    std::string out(text);
    for (int w = DisplayWidth(text); w < width; ++w) out += ' ';
    return out;
}

int StepIndex(const CourseData& data, int level, int step) {
    if (level < 1 || size_t(level) > data.level_steps.size() || step < 1 ||
        step > data.level_steps[size_t(level - 1)])
        return -1;
    int index = step - 1;
    for (int l = 1; l < level; ++l) index += data.level_steps[size_t(l - 1)];
    return index;
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

int SolvedOnTry(const StepScore& score) {
    if (score.status != 3 || score.score <= 0 || score.worth <= 0) return 0;
    // Beyond a few halvings the points are gone (a learner's try limit lies below this).
    for (int t = 1; t <= 8; ++t)
        if ((score.worth >> (t - 1)) == score.score) return t;
    return 0;
}

std::string StepResult(const StepScore& score) {
    if (score.score < 0 && score.worth > 0) return "left";
    if (score.status == 3 && score.score > 0) return "solved";
    if (score.status == 3 && score.score == 0) return "not solved";
    return score.visits > 0 ? "visited" : "not reached";
}

std::string StateName(const LearnerRow& row) {
    if (row.finished) return "finished";
    if (row.nothing_sent) return "begun, nothing sent yet";
    return row.state == 0 ? "new" : "begun";
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
    row.nothing_sent = learner.nothing_sent;
    return row;
}

}  // namespace

namespace {

// A learner's answers: steps answered and right at the first try, and the step failed most.
struct AnswerFacts {
    int answered = 0, first_try_right = 0;
    int most_failed = 0, most_failed_index = -1;
};

AnswerFacts FactsOf(const Learner& learner, const CourseData& data) {
    AnswerFacts facts;
    const size_t steps = data.steps.size();
    std::vector<int> first(steps, 0), failed(steps, 0);  // first: 0 none, 1 right, 2 wrong
    for (const HistoryLine& line : learner.history) {
        if (line.abandon) continue;
        const int index = StepIndex(data, line.level, line.step);
        if (index < 0) continue;
        const bool right = line.expected == line.given;
        if (first[size_t(index)] == 0) first[size_t(index)] = right ? 1 : 2;
        if (!right) failed[size_t(index)] += 1;
    }
    for (size_t i = 0; i < steps; ++i) {
        const StepScore* s = i < learner.scores.size() ? &learner.scores[i] : nullptr;
        const bool choice = !data.steps[i].answers.empty();
        if (first[i] != 0 && choice) {
            facts.answered += 1;
            facts.first_try_right += first[i] == 1;
        } else if (first[i] != 0 || (s && s->status == 3)) {
            facts.answered += 1;
            const int on_try = s ? SolvedOnTry(*s) : 0;
            facts.first_try_right += on_try == 1;
            // A practical step writes no journal line: its wrong tries show in its points.
            if (!choice && on_try > 1) failed[i] = std::max(failed[i], on_try - 1);
        }
        if (failed[i] > facts.most_failed) {
            facts.most_failed = failed[i];
            facts.most_failed_index = int(i);
        }
    }
    return facts;
}

}  // namespace

std::string HelpRuleText(const HelpRule& rule) {
    std::string text = "needs help: ";
    std::string parts;
    auto add = [&](const std::string& part) { parts += (parts.empty() ? "" : "; ") + part; };
    if (rule.idle_days > 0)
        add("begun and no progress for " + std::to_string(rule.idle_days) + " days");
    if (rule.failures > 0) add("a step failed " + std::to_string(rule.failures) + " times");
    add("first-try success " + std::to_string(rule.below_group) +
        " points below the rest of the group (after " + std::to_string(rule.min_answered) +
        " steps)");
    return text + parts;
}

std::vector<HelpReason> HelpReasonsOf(const HelpReasonFacts& f, const HelpRule& rule) {
    std::vector<HelpReason> reasons;
    if (f.begun && f.idle_days >= 0 && rule.idle_days > 0 && f.idle_days >= rule.idle_days)
        reasons.push_back({"idle", "", f.idle_days, 0,
                           "no progress for " + std::to_string(f.idle_days) + " days"});
    if (rule.failures > 0 && f.most_failed >= rule.failures)
        reasons.push_back({"failed", f.most_failed_step, f.most_failed, 0,
                           "step " + f.most_failed_step + " failed " +
                               (f.most_failed == 1 ? std::string("once")
                                                   : std::to_string(f.most_failed) + " times")});
    // Measured against the rest of the group, so that a learner is not part of their yardstick.
    const int others = f.group_answered - f.answered;
    if (f.answered > 0 && f.answered >= rule.min_answered && others > 0) {
        const double own = 100.0 * f.first_try_right / f.answered;
        const double group = 100.0 * (f.group_first_try_right - f.first_try_right) / others;
        const int64_t own_shown = std::lround(own), group_shown = std::lround(group);
        if (own <= group - rule.below_group)
            reasons.push_back({"below_group", "", own_shown, group_shown,
                               "first-try success " + std::to_string(own_shown) + " % against " +
                                   std::to_string(group_shown) + " % in the group"});
    }
    return reasons;
}

std::vector<std::string> HelpReasons(const HelpReasonFacts& f, const HelpRule& rule) {
    std::vector<std::string> texts;
    for (const HelpReason& reason : HelpReasonsOf(f, rule)) texts.push_back(reason.text);
    return texts;
}

Summary MakeSummary(const CourseData& data, const std::string& course, const std::string& language,
                    const HelpRule& rule, int64_t now) {
    if (now < 0) now = static_cast<int64_t>(std::time(nullptr));
    Summary summary;
    summary.course = course;
    summary.language = language;
    summary.steps = int(data.steps.size());
    summary.steps_problem = data.steps_problem;
    summary.help_rule = rule;
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
    std::vector<AnswerFacts> facts;
    facts.reserve(data.learners.size());
    for (const Learner& l : data.learners) {
        auto at = std::find_if(summary.groups.begin(), summary.groups.end(),
                               [&](const GroupRows& g) { return g.group == l.record.GroupNo; });
        at->learners.push_back(RowOf(l));
        facts.push_back(FactsOf(l, data));
        at->learners.back().answered = facts.back().answered;
        at->learners.back().first_try_right = facts.back().first_try_right;
    }
    // The learners are by group, then user: each group's rows follow its learners' facts.
    size_t next = 0;
    for (GroupRows& g : summary.groups) {
        int group_answered = 0, group_right = 0;
        for (const LearnerRow& row : g.learners) {
            group_answered += row.answered;
            group_right += row.first_try_right;
        }
        for (LearnerRow& row : g.learners) {
            const AnswerFacts& own = facts[next++];
            HelpReasonFacts f;
            f.begun = !row.finished && row.state != 0;
            f.idle_days = row.last_active ? (now - *row.last_active) / 86400 : -1;
            f.most_failed = own.most_failed;
            if (own.most_failed_index >= 0) {
                const StepText& step = data.steps[size_t(own.most_failed_index)];
                f.most_failed_step = std::to_string(step.level) + "." + std::to_string(step.step);
            }
            f.answered = row.answered;
            f.first_try_right = row.first_try_right;
            f.group_answered = group_answered;
            f.group_first_try_right = group_right;
            row.help_reasons = HelpReasonsOf(f, rule);
            for (const HelpReason& reason : row.help_reasons) row.help.push_back(reason.text);
        }
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
        row.choice = !text.answers.empty();
        rows.push_back(std::move(row));
    }
    for (const Learner& learner : data.learners) {
        const size_t n = std::min(learner.scores.size(), rows.size());
        // Steps the journal answered for this learner, and whether the first line was right.
        std::vector<int> first_line(rows.size(), 0);  // 0 none, 1 right, 2 wrong
        for (const HistoryLine& line : learner.history) {
            if (line.abandon) continue;
            const int index = StepIndex(data, line.level, line.step);
            if (index < 0) continue;
            StepRow& row = rows[size_t(index)];
            if (!row.choice) {
                // An estimate's journal line holds the value expected when it was within the
                // tolerance, -1 when it was not.
                if (line.given != line.expected) row.outside += 1;
            } else if (line.given >= 1 && line.given <= kMaxAnswer) {
                // A step offers at most six answers: anything else in a journal is counted, not
                // kept apart, so that no answer number can make a report grow.
                row.given[line.given] += 1;
            } else {
                row.other += 1;
            }
            if (first_line[size_t(index)] == 0)
                first_line[size_t(index)] = line.expected == line.given ? 1 : 2;
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            const StepScore* s = i < n ? &learner.scores[i] : nullptr;
            if (s) {
                rows[i].visits += s->visits;
                if (s->visits > 0) times[i].push_back(s->time);
                if (s->score > 0) {
                    rows[i].solved += 1;
                    rows[i].points += s->score;
                }
            }
            // The journal tells a choice step's first answer; a practical step writes no line,
            // so its score file row tells whether and on which try it was solved.
            const bool evaluated = s && s->status == 3;
            if (first_line[i] != 0 && rows[i].choice) {
                rows[i].answered += 1;
                if (first_line[i] == 1) rows[i].first_try_right += 1;
            } else if (evaluated || first_line[i] != 0) {
                rows[i].answered += 1;
                if (s && SolvedOnTry(*s) == 1) rows[i].first_try_right += 1;
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
