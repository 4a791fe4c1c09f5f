#include "LearnerReport.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/ScoreFile.h"
#include "text/Codepage.h"

namespace learners {

namespace {

struct Learners {
    std::map<int, std::string> group_names;
    std::vector<data::UserRecord> users;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "learners: %s\n", message.c_str());
    return 1;
}

// Reads both files; 0, or 1 after printing why.
int Load(const data::Course& course, Learners& out) {
    data::DataAccess groups, users;
    for (auto [access, path] :
         {std::pair{&groups, course.GroupFile()}, {&users, course.UsersFile()}}) {
        if (const platform::Status opened = access->Open(path, isam::OPEN_INPUT); !opened)
            return Fail("open " + path + " : " + opened.Cause() + " (" +
                        std::to_string(opened.code()) + ")");
    }
    std::vector<data::GroupRecord> all_groups;
    if (const platform::Status read = data::ReadAllGroups(groups, all_groups); !read)
        return Fail("read the groups of " + read.what() + " : " + read.Cause());
    if (const platform::Status read = data::ReadAllUsers(users, out.users); !read)
        return Fail("read the users of " + read.what() + " : " + read.Cause());
    for (const auto& g : all_groups) out.group_names[g.group_no] = g.name;
    return 0;
}

std::string Utf8(const std::string& cp1252) {
    return text::Cp1252ToUtf8(cp1252);
}

// The control character (C0, DEL or C1) that starts at utf8[i], or -1; a C1 character's
// two bytes are taken (i moves to the second).
int ControlAt(const std::string& utf8, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) return c;
    if (c != 0xC2 || i + 1 >= utf8.size()) return -1;
    const unsigned char next = static_cast<unsigned char>(utf8[i + 1]);
    if (next < 0x80 || next > 0x9F) return -1;
    ++i;
    return next;
}

// Text with each control character written by format (one %x of the code) and a backslash
// doubled, so that a name cannot move the cursor, recolour or retitle a terminal.
std::string Escaped(const std::string& utf8, const char* format, bool quote) {
    std::string out;
    char buf[8];
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (const int code = ControlAt(utf8, i); code >= 0) {
            std::snprintf(buf, sizeof buf, format, unsigned(code));
            out += buf;
        } else {
            if (c == '\\' || (quote && c == '"')) out += '\\';
            out += c;
        }
    }
    return out;
}

// A name as a terminal shows it (\xNN for control characters).
std::string TerminalText(const std::string& utf8) {
    return Escaped(utf8, "\\x%02x", false);
}

std::string JsonText(const std::string& utf8) {
    return "\"" + Escaped(utf8, "\\u%04x", true) + "\"";
}

std::string CsvText(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// text padded with blanks to width characters (UTF-8 characters, not bytes).
std::string Padded(const std::string& text, size_t width) {
    size_t chars = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++chars;
    return chars < width ? text + std::string(width - chars, ' ') : text;
}

const char* StatusWord(int state) {
    return state == data::kStateFinished     ? "finished"
           : state == data::kStateNotStarted ? "not started"
                                             : "in progress";
}

// The learner's score book; false when the file is missing or does not fit the record.
bool Scores(const data::Course& course, const data::UserRecord& u, data::ScoreBook& book) {
    if (!data::IsScoreStepCount(u.StepCount)) return false;
    return data::ReadScoreFile(ScoreFile(course, u.UserNo, u.GroupNo), u.StepCount, book).ok();
}

}  // namespace

int ListUsers(const data::Course& course, bool json) {
    Learners all;
    if (const int rc = Load(course, all)) return rc;
    for (const data::UserRecord& u : all.users) {
        data::ScoreBook book;
        long seconds = -1;
        if (Scores(course, u, book)) {
            seconds = 0;
            for (int i = 0; i < u.StepCount; ++i) seconds += book.StepTime[size_t(i)];
        }
        const std::string group =
            Utf8(all.group_names.count(u.GroupNo) ? all.group_names[u.GroupNo] : "");
        if (json) {
            std::printf(
                "{\"group\": %d, \"group_name\": %s, \"user\": %d, \"name\": %s, \"level\": %d, "
                "\"status\": %d, \"score\": %d, \"worth\": %d, \"seconds\": %s}\n",
                u.GroupNo, JsonText(group).c_str(), u.UserNo, JsonText(Utf8(u.UserName)).c_str(),
                u.Level, u.State, u.Total, u.TotalWorth,
                seconds < 0 ? "null" : std::to_string(seconds).c_str());
        } else {
            std::printf("%3d %s %3d %s level %d  %-11s  score %d/%d  time %s\n", u.GroupNo,
                        Padded(TerminalText(group), 23).c_str(), u.UserNo,
                        Padded(TerminalText(Utf8(u.UserName)), 23).c_str(), u.Level,
                        StatusWord(u.State), u.Total, u.TotalWorth,
                        seconds < 0 ? "-" : (std::to_string(seconds) + " s").c_str());
        }
    }
    return 0;
}

int ExportSteps(const data::Course& course, const std::string& csv_path) {
    Learners all;
    if (const int rc = Load(course, all)) return rc;
    FILE* out = std::fopen(csv_path.c_str(), "w");
    if (!out) return Fail("cannot write " + csv_path + " : " + std::strerror(errno));
    std::fprintf(out, "group,user,name,level,step,score,worth,bonus,seconds,visits,status\n");
    for (const data::UserRecord& u : all.users) {
        data::ScoreBook book;
        if (!Scores(course, u, book)) continue;
        const int first_level_steps = book.LevelSteps[0] > 0 ? book.LevelSteps[0] : u.StepCount;
        for (int i = 0; i < u.StepCount; ++i) {
            const size_t k = size_t(i);
            const int level = i < first_level_steps ? 1 : 2;
            const int step = i < first_level_steps ? i + 1 : i - first_level_steps + 1;
            std::fprintf(out, "%d,%d,%s,%d,%d,%d,%d,%d,%d,%d,%d\n", u.GroupNo, u.UserNo,
                         CsvText(Utf8(u.UserName)).c_str(), level, step, book.StepScore[k],
                         book.StepWorth[k], book.StepBonus[k], book.StepTime[k], book.StepVisits[k],
                         book.StepStatus[k]);
        }
    }
    if (std::fclose(out) != 0)
        return Fail("cannot write " + csv_path + " : " + std::strerror(errno));
    return 0;
}

}  // namespace learners
