// The trainer's reports, computed from a course's learner files: the learners' progress by
// group, and each step's results over all learners.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/CourseReader.h"

namespace report {

// One reason of the rule: its code ("idle": days in first; "failed": the step, and the times in
// first; "below_group": the learner's and the group's first-try success in % in first and
// second) and the same in words.
struct HelpReason {
    std::string code, step;
    int64_t first = 0, second = 0;
    std::string text;
};
struct LearnerRow {
    int group = 0, user = 0;
    std::string name;
    int state = 0, level = 0, step = 0, total = 0, worth = 0;
    double percent = 0;  // total x 100 / worth, one decimal; 0 when worth is 0
    bool finished = false;
    int64_t time_s = 0, visits = 0;  // sums over the score file
    std::optional<int64_t> last_active;
    std::string unreadable;
    // Begun through the data server but no score file sent yet: not a damaged learner.
    bool nothing_sent = false;
    // Steps answered (by the journal, or evaluated by the score file) and of those, answered
    // right at the first try.
    int answered = 0, first_try_right = 0;
    // Why the learner needs help, in words ("no progress for 9 days"); empty when they do not.
    std::vector<std::string> help;
    std::vector<HelpReason> help_reasons;  // the same, as codes and figures
};

// When a learner is flagged as needing help: begun and without progress for idle_days days;
// one step failed failures times or more; or, with at least min_answered steps answered, a
// first-try success below_group percentage points or more under the group's.
struct HelpRule {
    int idle_days = 7;
    int failures = 3;
    int below_group = 30;
    int min_answered = 3;
};

// The learner's state in words: "new", "begun", "begun, nothing sent yet" or "finished".
std::string StateName(const LearnerRow& row);

struct GroupRows {
    int group = 0;
    std::string name;
    std::vector<LearnerRow> learners;
};

struct Summary {
    std::string course, language;
    int steps = 0;
    std::string steps_problem;  // why the steps end early; empty when they do not
    HelpRule help_rule;
    std::vector<GroupRows> groups;
};

struct StepRow {
    int level = 0, step = 0;
    std::string question;
    std::vector<std::string> answers;
    int expected = 0;
    // A choice step offers answers; a practical or estimate step does not, and its journal holds
    // no line for a practical answer: its figures come from the score files.
    bool choice = true;
    int answered = 0;          // learners with an answer line for the step, or evaluated on it
    int first_try_right = 0;   // of those, learners whose first answer was right
    int solved = 0;            // learners who scored points on the step
    int64_t points = 0;        // points scored on the step, over all learners
    int outside = 0;           // estimates given outside the tolerance (the journal's -1)
    std::map<int, int> given;  // answer (1 to 6) -> times given, over every line
    int other = 0;             // times an answer outside 1 to 6 was given
    std::optional<double> median_time_s;  // over learners who visited the step
    int64_t visits = 0;
};

// What the help rule looks at for one learner.
struct HelpReasonFacts {
    bool begun = false;            // begun and not finished
    int64_t idle_days = -1;        // whole days since the last activity; -1 when never active
    int most_failed = 0;           // wrong answers on the step failed most
    std::string most_failed_step;  // that step, "1.2"
    int answered = 0, first_try_right = 0;              // the learner's steps
    int group_answered = 0, group_first_try_right = 0;  // the whole group's, the learner's too
};
// The rule in words, with its figures.
std::string HelpRuleText(const HelpRule& rule);
std::vector<HelpReason> HelpReasonsOf(const HelpReasonFacts& facts, const HelpRule& rule);
// The reasons, in words, why the rule flags a learner; empty when it does not.
std::vector<std::string> HelpReasons(const HelpReasonFacts& facts, const HelpRule& rule);

// now: the time the "no progress" reason is measured from (seconds since 1970).
Summary MakeSummary(const CourseData& data, const std::string& course, const std::string& language,
                    const HelpRule& rule = HelpRule(), int64_t now = -1);
std::vector<StepRow> MakeSteps(const CourseData& data);

// The try on which a step was solved, from its score file row: the points halve with each
// wrong try, so the score is the points at stake halved (try - 1) times. 0 when not solved or
// when the figures fit no try.
int SolvedOnTry(const StepScore& score);
// A step's result in words: "not reached", "visited", "solved", "not solved" or "left".
std::string StepResult(const StepScore& score);

// The place of (level, step) in the whole lesson, as the score files index steps; -1 when the
// lesson has no such step.
int StepIndex(const CourseData& data, int level, int step);

// total x 100 / worth rounded to one decimal, 0 when worth is 0.
double Percent(int total, int worth);
// Seconds since 1970 as ISO 8601 UTC ("2024-05-01T08:30:00Z").
std::string IsoTime(int64_t seconds);
// Seconds since 1970 in the local time zone with its offset ("2024-05-01 10:30:00 +02:00").
std::string LocalTime(int64_t seconds);
// Seconds as a person reads them: "45 s", "3 min 05 s", "1 h 02 min".
std::string Duration(int64_t seconds);

// The columns text (UTF-8) takes in a terminal, and text padded with blanks to width columns,
// so that a table lines up with accented or wide letters in a name.
int DisplayWidth(std::string_view text);
std::string PadRight(std::string_view text, int width);

// text for a terminal: control characters (C0, DEL and, in UTF-8, C1) written as \xNN or
// \u00NN, so that a learner's name cannot move the cursor, retitle the window or hide a line.
std::string TerminalText(std::string_view text);

// As JSON text (the field names scripts rely on) and as CSV (RFC 4180, UTF-8).
std::string SummaryJson(const Summary& summary);
std::string StepsJson(const std::vector<StepRow>& steps);
// One learner: the record's fields, the score table and the history lines.
std::string LearnerJson(const Learner& learner, const CourseData& data);
std::string LearnersCsv(const Summary& summary);
std::string StepsCsv(const std::vector<StepRow>& steps);
// A CSV report with its header row in language ("fr": French column names); as it is for
// another language.
std::string CsvInLanguage(const std::string& csv, const std::string& language);
// One row per answer of the learners' journals: learner, step, given, expected, right.
std::string AnswersCsv(const CourseData& data);

}  // namespace report
