// coursexapi: follows a course's learner files and sends every recorded answer, finished level
// and finished lesson as an xAPI statement to a learning record store, each exactly once.
#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Delivery.h"
#include "Statements.h"
#include "platform/GuardedMain.h"
#include "platform/ToolHelp.h"
#include "report/CourseReader.h"
#include "report/ReportCourse.h"

namespace {

using coursexapi::Pending;
using nlohmann::json;

const char kUsage[] =
    "usage: coursexapi COURSE --lrs URL --auth-file FILE --site URL --iri BASE\n"
    "                  [--state FILE] [--once] [--dry-run] [--batch N] [--timeout S]\n"
    "                  [--poll S] [--ca-file FILE] [--insecure-http]\n"
    "       coursexapi --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "coursexapi: %s\n", message.c_str());
    return 1;
}

struct Options {
    std::string course, lrs, auth_file, site, iri, ca_file, state = "coursexapi.state";
    bool once = false, dry_run = false, insecure = false;
    int batch = 50, timeout = 30, poll = 5;
};

bool Number(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (!*text || *end || errno || n < low || n > high || *text == '+' || *text == ' ')
        return false;
    out = int(n);
    return true;
}

bool Parse(int argc, char** argv, Options& o) {
    std::map<std::string, std::string*> values = {
        {"--lrs", &o.lrs}, {"--auth-file", &o.auth_file}, {"--site", &o.site},
        {"--iri", &o.iri}, {"--state", &o.state},         {"--ca-file", &o.ca_file}};
    std::map<std::string, int*> numbers = {
        {"--batch", &o.batch}, {"--timeout", &o.timeout}, {"--poll", &o.poll}};
    std::map<std::string, bool*> flags = {
        {"--once", &o.once}, {"--dry-run", &o.dry_run}, {"--insecure-http", &o.insecure}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (values.count(a) && i + 1 < argc)
            *values[a] = argv[++i];
        else if (numbers.count(a) && i + 1 < argc) {
            if (!Number(argv[++i], 1, a == "--batch" ? 1000 : 86400, *numbers[a])) return false;
        } else if (flags.count(a))
            *flags[a] = true;
        else if (!a.empty() && a[0] != '-' && o.course.empty())
            o.course = a;
        else
            return false;
    }
    return !o.course.empty() && !o.site.empty() && !o.iri.empty() &&
           (o.dry_run || (!o.lrs.empty() && !o.auth_file.empty()));
}

// The IRI segment naming the course: its product name with anything else than letters, digits
// and "-._~" percent-encoded.
std::string Segment(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out.empty() ? "course" : out;
}

// The languages of the course: each folder of MSG/ whose steps can be read.
std::vector<coursexapi::LanguageTexts> ReadLanguages(const std::string& root, int levels,
                                                     const std::string& main_language) {
    std::vector<std::string> folders;
    if (DIR* dir = opendir((root + "/MSG").c_str())) {
        while (const dirent* e = readdir(dir))
            if (e->d_name[0] != '.') folders.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(folders.begin(), folders.end());
    // The course's own language first: its texts stand for the step where another lacks one.
    std::stable_partition(folders.begin(), folders.end(),
                          [&](const std::string& f) { return f == main_language; });
    std::vector<coursexapi::LanguageTexts> out;
    for (const std::string& folder : folders) {
        report::ReportCourse course;
        std::string error;
        if (!course.Open(root, folder, error)) continue;
        coursexapi::LanguageTexts texts;
        texts.tag = coursexapi::LanguageTag(folder);
        texts.course_name = course.Name();
        for (int level = 1; level <= levels; ++level) course.ReadSteps(level, texts.steps);
        if (std::none_of(out.begin(), out.end(), [&](const auto& l) { return l.tag == texts.tag; }))
            out.push_back(std::move(texts));
    }
    return out;
}

class Sender {
  public:
    Sender(const Options& o, const coursexapi::Endpoint& e, coursexapi::State& s)
        : options_(o), endpoint_(e), state_(s) {}

    // Queues one learner's pending statements, in order, and sends every batch that fills up.
    // False when the LRS could not be reached (retries exhausted in --once mode) or the state
    // could not be written.
    bool Add(std::vector<Pending>&& pending) {
        for (Pending& p : pending) {
            // A batch is full: send it along with the progress-only entries that follow it.
            if (!p.statement.is_null() && statements_ == size_t(options_.batch) && !Flush())
                return false;
            if (!p.statement.is_null()) ++statements_;
            queue_.push_back(std::move(p));
        }
        return true;
    }

    // Sends what is queued and writes the state: the end of a pass, or before the program stops.
    bool Finish() { return Flush() && Save(); }

    int rejected() const { return rejected_; }

  private:
    // Delivers the queued statements; only then does the state record them as sent. The state
    // file is written at most once a second: a crash before it merely sends statements again,
    // under the same ids, which the LRS takes for the duplicates they are.
    bool Flush() {
        std::vector<const json*> batch;
        for (const Pending& p : queue_)
            if (!p.statement.is_null()) batch.push_back(&p.statement);
        const bool delivered = Deliver(batch, batch.size() > 1);
        if (delivered) {
            for (const Pending& p : queue_) state_[p.key] = p.after;
            changed_ = changed_ || !queue_.empty();
        }
        queue_.clear();
        statements_ = 0;
        if (!delivered) {
            Save();  // keep what went before
            return false;
        }
        if (std::chrono::steady_clock::now() - saved_ >= std::chrono::seconds(1)) return Save();
        return true;
    }

    bool Save() {
        std::string error;
        saved_ = std::chrono::steady_clock::now();
        if (!changed_) return true;
        if (!coursexapi::SaveState(options_.state, state_, error)) {
            std::fprintf(stderr, "coursexapi: %s\n", error.c_str());
            return false;
        }
        changed_ = false;
        return true;
    }

    // Delivers statements, waiting longer after every failed try. A batch that the LRS refuses
    // or finds partly there already goes again one statement at a time.
    bool Deliver(const std::vector<const json*>& statements, bool split) {
        if (statements.empty()) return true;
        int wait = 1;
        for (int attempt = 1;; ++attempt) {
            const coursexapi::Answer answer = coursexapi::Post(endpoint_, statements);
            switch (answer.outcome) {
                case coursexapi::Outcome::kDelivered:
                    return true;
                case coursexapi::Outcome::kConflict:
                case coursexapi::Outcome::kRejected:
                    if (split) {
                        for (const json* s : statements)
                            if (!Deliver({s}, false)) return false;
                        return true;
                    }
                    if (answer.outcome == coursexapi::Outcome::kConflict) return true;
                    KeepAside(*statements[0], answer.reason);
                    return true;
                case coursexapi::Outcome::kRetry:
                    std::fprintf(stderr, "coursexapi: the LRS did not take %zu statement(s): %s\n",
                                 statements.size(), answer.reason.c_str());
                    if (options_.once && attempt >= 6) return false;
                    std::this_thread::sleep_for(std::chrono::seconds(wait));
                    wait = std::min(wait * 2, 300);
                    break;
            }
        }
    }

    void KeepAside(const json& statement, const std::string& reason) {
        ++rejected_;
        std::fprintf(stderr, "coursexapi: the LRS refused statement %s: %s\n",
                     statement.value("id", std::string()).c_str(), reason.c_str());
        const std::string path = options_.state + ".rejected";
        if (FILE* f = std::fopen(path.c_str(), "a")) {
            std::fprintf(f, "%s\n",
                         json{{"reason", reason}, {"statement", statement}}.dump().c_str());
            std::fclose(f);
        } else {
            std::fprintf(stderr, "coursexapi: cannot keep it in %s: %s\n", path.c_str(),
                         std::strerror(errno));
        }
    }

    const Options& options_;
    const coursexapi::Endpoint& endpoint_;
    coursexapi::State& state_;
    std::vector<Pending> queue_;  // up to a batch of statements and the progress that follows
    size_t statements_ = 0;       // the statements in queue_
    bool changed_ = false;        // the state holds progress the file does not have yet
    std::chrono::steady_clock::time_point saved_ = std::chrono::steady_clock::now();
    int rejected_ = 0;
};

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("coursexapi", kUsage, argc, argv); rc >= 0)
        return rc;
    Options o;
    if (!Parse(argc, argv, o)) return Usage();
    std::string error;
    coursexapi::Endpoint endpoint;
    endpoint.timeout_s = o.timeout;
    endpoint.ca_file = o.ca_file;
    if (!o.dry_run) {
        if (!coursexapi::ParseEndpoint(o.lrs, o.insecure, endpoint, error)) return Fail(error);
        if (!coursexapi::ReadCredentials(o.auth_file, endpoint.authorization, error))
            return Fail(error);
    }
    while (!o.iri.empty() && o.iri.back() == '/') o.iri.pop_back();

    report::ReportCourse course;
    if (!course.Open(o.course, "", error)) return Fail(error);
    coursexapi::State state;
    if (!coursexapi::LoadState(o.state, state, error)) return Fail(error);
    report::CourseReader reader(course);
    coursexapi::Settings settings{o.site, o.iri, Segment(course.Name())};
    Sender sender(o, endpoint, state);
    std::vector<coursexapi::LanguageTexts> languages;
    std::vector<int> level_steps;
    for (;;) {
        if (reader.Refresh(error) != 0) {
            if (o.once || o.dry_run) return Fail(error);
            std::fprintf(stderr, "coursexapi: %s\n", error.c_str());
        } else {
            const report::CourseData& data = reader.Data();
            if (languages.empty() || data.level_steps != level_steps) {
                level_steps = data.level_steps;
                languages =
                    ReadLanguages(course.Root(), int(level_steps.size()), course.Language());
            }
            // Learner by learner, so that only a batch and one learner's statements are held.
            bool sent = true;
            for (const report::Learner& learner : data.learners) {
                if (!learner.Unreadable().empty()) continue;
                const auto at = state.find(coursexapi::LearnerKey(learner));
                std::vector<Pending> pending = coursexapi::LearnerStatements(
                    settings, languages, level_steps, learner,
                    at == state.end() ? coursexapi::LearnerProgress{} : at->second);
                if (o.dry_run) {
                    for (const Pending& p : pending)
                        if (!p.statement.is_null()) std::printf("%s\n", p.statement.dump().c_str());
                } else if (!sender.Add(std::move(pending))) {
                    sent = false;
                    break;
                }
            }
            if (o.dry_run) return 0;
            sent = sent && sender.Finish();
            if (o.once) return sent && sender.rejected() == 0 ? 0 : 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(o.poll));
    }
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("coursexapi", argc, argv, Run);
}
