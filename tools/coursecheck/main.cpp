// coursecheck: checks a whole course folder and prints its findings like a compiler.
//   coursecheck COURSE [--lang L]... [--unit U]... [--sources DIR]... [--json] [--strict]
//               [--run-scripts]
#include <QApplication>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "SourceMap.h"
#include "check/CourseCheck.h"
#include "platform/GuardedMain.h"
#include "platform/ToolHelp.h"
#include "text/Codepage.h"

namespace {

const char kUsage[] =
    "usage: coursecheck COURSE [--lang L]... [--unit U]... [--sources DIR]... [--json]\n"
    "                   [--strict] [--run-scripts]\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

std::string Utf8(const std::string& cp1252) {
    return text::Cp1252ToUtf8(cp1252);
}

void PrintJson(const std::vector<check::Finding>& findings, int errors, int warnings) {
    for (const check::Finding& f : findings) {
        nlohmann::json j;
        j["path"] = Utf8(f.path);
        if (f.line > 0) j["line"] = f.line;
        if (f.text >= 0) j["text"] = f.text;
        if (!f.source.empty()) j["source"] = f.source;
        if (f.source_line > 0) j["source_line"] = f.source_line;
        j["severity"] = check::SeverityName(f.severity);
        j["code"] = f.code;
        j["message"] = Utf8(f.message);
        std::printf("%s\n", j.dump().c_str());
    }
    nlohmann::json summary;
    summary["errors"] = errors;
    summary["warnings"] = warnings;
    std::printf("%s\n", summary.dump().c_str());
}

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("coursecheck", kUsage, argc, argv); rc >= 0)
        return rc;
    std::string folder;
    check::CheckOptions options;
    std::vector<std::string> sources;
    bool json = false, strict = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lang" || a == "--unit" || a == "--sources") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage();
            (a == "--lang"   ? options.languages
             : a == "--unit" ? options.units
                             : sources)
                .push_back(argv[++i]);
        } else if (a == "--json") {
            json = true;
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "--run-scripts") {
            options.run_scripts = true;
        } else if (a.rfind("--", 0) == 0 || !folder.empty()) {
            return Usage();
        } else {
            folder = a;
        }
    }
    if (folder.empty()) return Usage();

    std::unique_ptr<QApplication> app;
    if (options.run_scripts) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int qt_argc = 1;
        app = std::make_unique<QApplication>(qt_argc, argv);
    }
    std::vector<check::Finding> findings;
    if (platform::Status s = check::CheckCourse(folder, options, findings); !s) {
        std::fprintf(stderr, "coursecheck: %s\n", s.Text().c_str());
        return 2;
    }
    // Sources beside the course: in its own folder, and in the folders given.
    sources.insert(sources.begin(), folder);
    coursecheck::SourceMap map(folder, coursecheck::CourseDirectory(folder), sources);
    for (check::Finding& f : findings) map.Annotate(f);
    int errors = 0, warnings = 0;
    for (const check::Finding& f : findings)
        (f.severity == check::Severity::kError ? errors : warnings)++;
    if (json) {
        PrintJson(findings, errors, warnings);
    } else {
        for (const check::Finding& f : findings)
            std::printf("%s\n", Utf8(check::FormatFinding(f)).c_str());
        std::printf("%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                    warnings == 1 ? "" : "s");
    }
    std::fflush(stdout);
    return errors > 0 || (strict && warnings > 0) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("coursecheck", argc, argv, Run);
}
