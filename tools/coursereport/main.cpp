// coursereport: the trainer's reports from a course's learner files, as tables, JSON, CSV and a
// read-only web page.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ReportServer.h"
#include "platform/GuardedMain.h"
#include "platform/ReadFile.h"
#include "platform/ToolHelp.h"
#include "report/CourseReader.h"
#include "report/ReportCache.h"
#include "report/ReportCourse.h"
#include "report/Reports.h"

namespace {

const char kUsage[] =
    "usage: coursereport summary COURSE [--lang L] [--json] [--idle-days N] [--failures K]\n"
    "       coursereport steps COURSE [--lang L] [--json]\n"
    "       coursereport serve COURSE [--lang L] [--bind ADDR] [--port N|0]\n"
    "                    [--idle-days N] [--failures K]\n"
    "                    [--token-file FILE] [--tls-cert FILE --tls-key FILE]\n"
    "                    [--insecure-http] [--allow-host NAME[,NAME...]]\n"
    "       coursereport --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "coursereport: %s\n", message.c_str());
    return 1;
}

struct Arguments {
    std::string command, course;
    std::map<std::string, std::string> options;  // "--lang" -> "GB"; flags -> ""
};

// The options each command takes, and whether each takes a value.
bool Parse(int argc, char** argv, Arguments& args) {
    if (argc < 3) return false;
    args.command = argv[1];
    args.course = argv[2];
    std::map<std::string, bool> allowed;
    if (args.command == "summary")
        allowed = {
            {"--lang", true}, {"--json", false}, {"--idle-days", true}, {"--failures", true}};
    else if (args.command == "steps")
        allowed = {{"--lang", true}, {"--json", false}};
    else if (args.command == "serve")
        allowed = {{"--lang", true},           {"--bind", true},       {"--port", true},
                   {"--token-file", true},     {"--tls-cert", true},   {"--tls-key", true},
                   {"--insecure-http", false}, {"--allow-host", true}, {"--idle-days", true},
                   {"--failures", true}};
    else
        return false;
    for (int i = 3; i < argc; ++i) {
        const auto at = allowed.find(argv[i]);
        if (at == allowed.end() || args.options.count(argv[i])) return false;
        if (at->second && i + 1 >= argc) return false;
        const std::string name = argv[i];
        args.options[name] = at->second ? argv[++i] : "";
    }
    return true;
}

std::string Option(const Arguments& args, const std::string& name) {
    const auto at = args.options.find(name);
    return at == args.options.end() ? std::string() : at->second;
}

// Every text below comes from the course's files: shown with its control characters escaped.
using report::TerminalText;

void PrintSummary(const report::Summary& summary) {
    std::printf("%s (%s): %d steps%s%s\n", TerminalText(summary.course).c_str(),
                TerminalText(summary.language).c_str(), summary.steps,
                summary.steps_problem.empty() ? "" : ": ",
                TerminalText(summary.steps_problem).c_str());
    std::printf("%s\n", report::HelpRuleText(summary.help_rule).c_str());
    for (const report::GroupRows& g : summary.groups) {
        std::printf("\ngroup %d  %s\n", g.group, TerminalText(g.name).c_str());
        std::printf("  %-5s %s %s %5s %5s %11s %7s %12s %6s  %s\n", "user",
                    report::PadRight("name", 24).c_str(), report::PadRight("status", 23).c_str(),
                    "level", "step", "score", "%", "time", "visits", "last active");
        for (const report::LearnerRow& l : g.learners) {
            const std::string score = std::to_string(l.total) + "/" + std::to_string(l.worth);
            std::printf(
                "  %-5d %s %s %5d %5d %11s %7.1f %12s %6lld  %s%s\n", l.user,
                report::PadRight(TerminalText(l.name), 24).c_str(),
                report::PadRight(report::StateName(l), 23).c_str(), l.level, l.step, score.c_str(),
                l.percent, report::Duration(l.time_s).c_str(), static_cast<long long>(l.visits),
                l.last_active ? report::LocalTime(*l.last_active).c_str() : "-",
                l.unreadable.empty() ? ""
                                     : ("  unreadable: " + TerminalText(l.unreadable)).c_str());
            for (const std::string& reason : l.help)
                std::printf("        needs help: %s\n", reason.c_str());
        }
    }
}

void PrintSteps(const std::vector<report::StepRow>& steps) {
    std::printf("%-6s %8s %8s %9s %6s %-20s %12s %6s  %s\n", "step", "expected", "answered",
                "first ok", "solved", "given", "median", "visits", "question");
    for (const report::StepRow& s : steps) {
        std::string given;
        for (const auto& [answer, count] : s.given)
            given +=
                (given.empty() ? "" : " ") + std::to_string(answer) + "x" + std::to_string(count);
        if (s.other > 0) given += (given.empty() ? "otherx" : " otherx") + std::to_string(s.other);
        // A practical or estimate step has no answer numbers: its journal only tells the
        // estimates given outside the tolerance.
        if (!s.choice) given = s.outside > 0 ? "outsidex" + std::to_string(s.outside) : "";
        const std::string question = TerminalText(s.question.substr(0, s.question.find('\n')));
        const std::string id = std::to_string(s.level) + "." + std::to_string(s.step);
        std::printf("%-6s %8d %8d %9d %6d %-20s %12s %6lld  %s\n", id.c_str(), s.expected,
                    s.answered, s.first_try_right, s.solved, given.empty() ? "-" : given.c_str(),
                    s.median_time_s ? report::Duration(int64_t(*s.median_time_s)).c_str() : "-",
                    static_cast<long long>(s.visits), question.c_str());
    }
}

// The token of a token file: its first line (ended by LF, CR LF or CR), without blanks around
// it. A token must be printable ASCII that a form and a header carry as it is.
bool ReadToken(const std::string& path, std::string& token, std::string& error) {
    std::string text, why;
    if (!platform::ReadWholeFile(path, text, why)) {
        error = "cannot read the token file " + path + ": " + why;
        return false;
    }
    token = text.substr(0, text.find_first_of("\r\n"));
    const size_t first = token.find_first_not_of(" \t");
    const size_t last = token.find_last_not_of(" \t");
    token = first == std::string::npos ? std::string() : token.substr(first, last - first + 1);
    const bool printable = std::all_of(token.begin(), token.end(), [](char c) {
        return static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7f;
    });
    if (token.size() < 8 || token.size() > 256 || !printable ||
        token.find_first_of(";,\"\\") != std::string::npos) {
        error = "the token file " + path +
                " must hold one token of 8 to 256 characters on its first line: letters, digits "
                "and punctuation, without blanks, control characters, ';', ',', '\"' or '\\'";
        return false;
    }
    return true;
}

// A count option: a whole number from 0 to 10000 (0 turns its reason off).
bool CountOption(const Arguments& args, const std::string& name, int& out) {
    if (!args.options.count(name)) return true;
    const std::string text = Option(args, name);
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < 0 || n > 10000 || text[0] == '-' ||
        text[0] == '+' || text[0] == ' ')
        return false;
    out = int(n);
    return true;
}

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("coursereport", kUsage, argc, argv); rc >= 0)
        return rc;
    Arguments args;
    if (!Parse(argc, argv, args)) return Usage();
    report::HelpRule rule;
    if (!CountOption(args, "--idle-days", rule.idle_days) ||
        !CountOption(args, "--failures", rule.failures))
        return Usage();

    coursereport::ServeOptions serve;
    if (args.command == "serve") {
        if (args.options.count("--bind")) serve.bind = Option(args, "--bind");
        if (args.options.count("--port")) {
            const std::string port = Option(args, "--port");
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(port.c_str(), &end, 10);
            if (port.empty() || *end != '\0' || errno != 0 || n < 0 || n > 65535 ||
                port[0] == '-' || port[0] == '+' || port[0] == ' ')
                return Usage();
            serve.port = int(n);
        }
        std::string error;
        if (args.options.count("--token-file") &&
            !ReadToken(Option(args, "--token-file"), serve.token, error))
            return Fail(error);
        serve.tls_cert = Option(args, "--tls-cert");
        serve.tls_key = Option(args, "--tls-key");
        if (serve.tls_cert.empty() != serve.tls_key.empty())
            return Fail("--tls-cert and --tls-key go together: the certificate and its key");
        const std::string hosts = Option(args, "--allow-host");
        for (size_t at = 0; at < hosts.size();) {
            const size_t end = std::min(hosts.find(',', at), hosts.size());
            if (end > at) serve.allowed_hosts.push_back(hosts.substr(at, end - at));
            at = end + 1;
        }
        if (!coursereport::IsLoopback(serve.bind)) {
            if (serve.token.empty())
                return Fail("binding " + serve.bind +
                            " outside loopback needs --token-file: every request must carry the "
                            "token");
            if (serve.tls_cert.empty() && !args.options.count("--insecure-http"))
                return Fail("binding " + serve.bind +
                            " outside loopback needs --tls-cert and --tls-key: the sign-in would "
                            "travel in clear (--insecure-http allows it)");
        }
        serve.chart_js = COURSEREPORT_CHART_JS;
    }

    report::ReportCourse course;
    std::string error;
    if (!course.Open(args.course, Option(args, "--lang"), error)) return Fail(error);

    if (args.command == "serve") {
        // The course's own language first, then every other one its MSG folder holds that
        // opens (a usable COMMON.MSG), each with its own learners and reports.
        std::vector<std::unique_ptr<report::ReportCourse>> others;
        std::error_code failed;
        std::vector<std::string> names;
        for (const auto& entry :
             std::filesystem::directory_iterator(course.Root() + "/MSG", failed)) {
            const std::string name = entry.path().filename().string();
            if (name != course.Language() && entry.is_directory(failed)) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            auto other = std::make_unique<report::ReportCourse>();
            std::string why;
            if (other->Open(args.course, name, why) && other->Language() == name)
                others.push_back(std::move(other));
        }
        std::vector<std::unique_ptr<report::ReportCache>> caches;
        std::vector<coursereport::LanguageReports> languages;
        caches.push_back(
            std::make_unique<report::ReportCache>(course, std::chrono::seconds(1), rule));
        languages.push_back({course.Language(), caches.back().get()});
        for (const auto& other : others) {
            caches.push_back(
                std::make_unique<report::ReportCache>(*other, std::chrono::seconds(1), rule));
            languages.push_back({other->Language(), caches.back().get()});
        }
        return coursereport::Serve(languages, serve);
    }
    report::CourseReader reader(course);
    if (reader.Refresh(error) != 0) return Fail(error);
    const bool json = args.options.count("--json") != 0;
    if (args.command == "summary") {
        const report::Summary summary =
            report::MakeSummary(reader.Data(), course.Name(), course.Language(), rule);
        if (json)
            std::printf("%s\n", report::SummaryJson(summary).c_str());
        else
            PrintSummary(summary);
    } else {
        const std::vector<report::StepRow> steps = report::MakeSteps(reader.Data());
        if (json)
            std::printf("%s\n", report::StepsJson(steps).c_str());
        else
            PrintSteps(steps);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("coursereport", argc, argv, Run);
}
