// learners: the administrator's tool for a course's groups and users.
//   learners init COURSE --lang L
//   learners add-group COURSE --lang L --group N --name TEXT
//   learners add-user COURSE --lang L --group N --user M --name TEXT [--password P]
//                     [--may-configure]
//   learners remove-user | reset-user COURSE --lang L --group N --user M
//   learners remove-group COURSE --lang L --group N
//   learners set-progress COURSE --lang L --group N --user M [--state S] [--level N]
//                         [--step N] [--total T] [--worth W]
//   learners list COURSE --lang L [--json]
//   learners export COURSE --lang L --csv FILE

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "LearnerCommands.h"
#include "LearnerCourse.h"
#include "LearnerReport.h"
#include "data/GroupRecord.h"
#include "data/UserRecord.h"
#include "platform/Path.h"
#include "platform/ToolHelp.h"
#include "text/Codepage.h"

namespace {

const char kUsage[] =
    "usage: learners init COURSE --lang L\n"
    "       learners add-group COURSE --lang L --group N --name TEXT\n"
    "       learners add-user COURSE --lang L --group N --user M --name TEXT\n"
    "                [--password P] [--may-configure]\n"
    "       learners remove-user|reset-user COURSE --lang L --group N --user M\n"
    "       learners remove-group COURSE --lang L --group N\n"
    "       learners set-progress COURSE --lang L --group N --user M [--state S]\n"
    "                [--level N] [--step N] [--total T] [--worth W]\n"
    "       learners list COURSE --lang L [--json]\n"
    "       learners export COURSE --lang L --csv FILE\n"
    "       learners --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Refuse(const std::string& message) {
    std::fprintf(stderr, "learners: %s\n", message.c_str());
    return 1;
}

// A decimal number and nothing else: no blanks before or after, as the shell may leave them.
bool ParseInt(const std::string& text, int& out) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-'))
        return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < -2147483647L || v > 2147483647L) return false;
    out = int(v);
    return true;
}

// A name or password typed in UTF-8, as Windows-1252 of 1 to max bytes with no control
// characters; empty with a message in error otherwise.
bool ToCodePage(const std::string& what, const std::string& typed, size_t max, std::string& out,
                std::string& error) {
    if (!text::Utf8ToCp1252(typed, out)) {
        error = what + " \"" + typed + "\" has characters that Windows-1252 cannot hold";
        return false;
    }
    if (out.empty() || out.size() > max) {
        error = what + " must have 1 to " + std::to_string(max) + " characters";
        return false;
    }
    for (unsigned char c : out) {
        if (c < 0x20 || c == 0x7F) {
            error = what + " must not hold control characters";
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("learners", kUsage, argc, argv); rc >= 0)
        return rc;
    if (argc < 3) return Usage();
    // Learners' records and locks are made without access for other accounts.
    ::umask(027);
    const std::string cmd = argv[1];
    const std::string course_dir = argv[2];
    static const std::set<std::string> kFlags = {"--may-configure", "--json"};
    static const std::set<std::string> kValues = {"--lang",     "--group", "--user",  "--name",
                                                  "--password", "--state", "--level", "--step",
                                                  "--total",    "--worth", "--csv"};
    std::map<std::string, std::string> opt;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        // An option given twice is a mistake, not a choice of the last one.
        if (opt.count(a)) return Refuse(a + " is given twice");
        if (kFlags.count(a)) {
            opt[a] = "1";
        } else if (kValues.count(a) && i + 1 < argc) {
            opt[a] = argv[++i];
        } else {
            return Usage();
        }
    }
    if (!opt.count("--lang")) return Usage();

    const bool report = cmd == "list" || cmd == "export";
    const bool needs_group = cmd != "init" && !report;
    const bool needs_user =
        cmd == "add-user" || cmd == "remove-user" || cmd == "reset-user" || cmd == "set-progress";
    const bool needs_name = cmd == "add-group" || cmd == "add-user";
    static const std::set<std::string> kCommands = {"init",         "add-group",    "add-user",
                                                    "remove-user",  "remove-group", "reset-user",
                                                    "set-progress", "list",         "export"};
    if (!kCommands.count(cmd)) return Usage();
    if (opt.count("--json") && cmd != "list") return Usage();
    if (opt.count("--csv") != (cmd == "export")) return Usage();
    if (opt.count("--may-configure") && cmd != "add-user") return Usage();

    learners::Request r;
    // Numbers fit the session tag: 8 bits for the group and 8 for the user.
    for (auto [key, needed, out] : {std::tuple{"--group", needs_group, &r.group},
                                    std::tuple{"--user", needs_user, &r.user}}) {
        if (!needed) continue;
        if (!opt.count(key)) return Usage();
        if (!ParseInt(opt[key], *out) || *out < 1 || *out > 255)
            return Refuse(std::string(key + 2) + " number must be 1 to 255, not " + opt[key]);
    }
    std::string error;
    if (needs_name) {
        if (!opt.count("--name")) return Usage();
        if (!ToCodePage("the name", opt["--name"], data::kUserNameSize - 1, r.name, error))
            return Refuse(error);
    }
    if (opt.count("--password")) {
        if (cmd != "add-user") return Usage();
        std::string pw;
        if (!ToCodePage("the password", opt["--password"], data::kMaxPasswordLength, pw, error))
            return Refuse(error);
        r.password = pw;
    }
    r.may_configure = opt.count("--may-configure") > 0;
    for (auto [key, out] : {std::pair{"--state", &r.state},
                            {"--level", &r.level},
                            {"--step", &r.step},
                            {"--total", &r.total},
                            {"--worth", &r.worth}}) {
        if (!opt.count(key)) continue;
        if (cmd != "set-progress") return Usage();
        int v = 0;
        if (!ParseInt(opt[key], v)) return Refuse(std::string(key) + " needs a number");
        *out = v;
    }

    // The CSV path is the caller's, taken from the current folder as any command-line path.
    const std::string csv = opt.count("--csv") ? opt["--csv"] : "";
    std::unique_ptr<data::Course> opened;
    if (platform::Status status = learners::OpenLearnerCourse(course_dir, opt["--lang"], opened);
        !status)
        return Refuse(status.Text());
    const data::Course& course = *opened;
    if (cmd == "init") return learners::InitFiles(course);
    if (cmd == "list") return learners::ListUsers(course, opt.count("--json") > 0);
    if (cmd == "export") return learners::ExportSteps(course, csv);
    if (cmd == "add-group") return learners::AddGroup(course, r);
    if (cmd == "add-user") return learners::AddUser(course, r);
    if (cmd == "remove-user") return learners::RemoveUser(course, r);
    if (cmd == "remove-group") return learners::RemoveGroup(course, r);
    if (cmd == "reset-user") return learners::ResetUser(course, r);
    return learners::SetProgress(course, r);
}
