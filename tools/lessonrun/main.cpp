// lessonrun: plays a course's lesson with the player's own flow on a headless stage, as a
// learner's session, and prints one JSON line per evaluation and one at the end.
//   lessonrun COURSE --user G:U [--lang L] [--set KEY=VALUE]... [--answer A]... [--auto]
#include <QApplication>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "LessonRunner.h"
#include "data/CoursePaths.h"
#include "data/DataAccess.h"
#include "data/ProductRecord.h"
#include "platform/Path.h"
#include "shell/CommonMessages.h"
#include "shell/LearnerFilesStore.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: lessonrun COURSE --user G:U [--lang L] [--set KEY=VALUE]...\n"
                 "                 [--answer A]... [--auto]\n");
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "lessonrun: %s\n", message.c_str());
    return 1;
}

const char* KindName(int kind) {
    return kind == shell::kChoiceStep      ? "choice"
           : kind == shell::kPracticalStep ? "practical"
                                           : "estimate";
}

int Run(int argc, char** argv) {
    std::string course, lang;
    int group = -1, user = -1;
    bool automatic = false;
    std::vector<std::string> sets, answers;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--user") {
            char rest = 0;
            if (!value(v) || std::sscanf(v.c_str(), "%d:%d%c", &group, &user, &rest) != 2 ||
                group < 0 || group > 255 || user < 0 || user > 255) {
                return Usage();
            }
        } else if (a == "--lang") {
            if (!value(lang)) return Usage();
        } else if (a == "--set") {
            if (!value(v)) return Usage();
            sets.push_back(v);
        } else if (a == "--answer") {
            if (!value(v)) return Usage();
            answers.push_back(v);
        } else if (a == "--auto") {
            automatic = true;
        } else if (a.rfind("--", 0) == 0 || !course.empty()) {
            return Usage();
        } else {
            course = a;
        }
    }
    if (course.empty() || group < 0) return Usage();
    if (chdir(course.c_str()) != 0) return Fail("cannot enter the course folder " + course);

    // The course's INI sits beside the player's link, named after the product.
    const std::vector<std::string> inis = platform::FindEntries("*.INI");
    if (inis.empty()) return Fail("no INI file in the course folder " + course);
    const std::string ini = inis.front();
    const std::string program =
        (std::filesystem::current_path() / ini.substr(0, ini.size() - 4)).string();
    platform::SetProgramPath(program.c_str());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);

    data::ConfigTable config;
    if (config.LoadConfiguration(ini) != 0) return Fail("cannot read " + ini);
    for (const std::string& s : sets) {
        if (!config.ApplyOptionLine(s)) return Fail("unknown setting " + s);
    }
    if (!lang.empty()) config.Set(data::kLanguage, lang);
    data::OptionFlags flags;
    flags.ParseOptionWords(config.Get(data::kFlag));
    // A learner's own session, played by the answers given, not by the timer.
    flags.Clear(data::AutoPlay);
    flags.Clear(data::PresetSession);
    text::TraceLog trace;
    if (flags.Has(data::Trace) && !trace.Open(flags.trace_path)) {
        return Fail("cannot open the trace log " + flags.trace_path);
    }

    data::ProductRecord product;
    if (data::LoadProduct(config, program, product) != 1) {
        return Fail("no product of the course fits language " + config.Get(data::kLanguage));
    }
    text::MessageFile common;
    int32_t seed = 0;
    if (shell::LoadCommonMessages(common, config, flags, product, seed) != 0) {
        return Fail("cannot open the common texts of language " + config.Get(data::kLanguage));
    }

    data::DataAccess groups, users;
    const std::string group_path =
        data::GroupFilePath(product.data_dir, product.product_name, config.Get(data::kLanguage));
    const std::string users_path =
        data::UsersFilePath(product.data_dir, product.product_name, config.Get(data::kLanguage));
    if (groups.Open(group_path, isam::OPEN_INOUT) < 0) {
        return Fail(groups.ErrorText("cannot open %s", group_path.c_str()));
    }
    if (users.Open(users_path, isam::OPEN_INOUT) < 0) {
        return Fail(users.ErrorText("cannot open %s", users_path.c_str()));
    }
    shell::LearnerFilesStore store(groups, users);
    data::UserRecord record;
    if (!store.ReadUser(group, user, record)) {
        return Fail("no user " + std::to_string(user) + " in group " + std::to_string(group));
    }

    shell::LessonSettings settings;
    settings.config = &config;
    settings.flags = &flags;
    settings.common = &common;
    settings.trace = &trace;
    settings.data_dir = product.data_dir;
    settings.app_name = product.app_name;
    settings.common_seed = seed;
    settings.removable_media = platform::IsRemovableMedia(program);
    settings.quit_caption = common.GetText(29);
    if (!settings.quit_caption.empty()) settings.quit_caption.erase(0, 1);

    script::ScriptEngine::Settings engine_settings;
    engine_settings.config = &config;
    engine_settings.options = &flags;
    engine_settings.data_dir = product.data_dir;
    engine_settings.app_title = product.app_name;
    engine_settings.common_messages = &common;

    lessonrun::LessonRunner runner(settings, store, engine_settings, &trace);
    runner.SetAnswers(answers, automatic);
    runner.SetEvaluationObserver([](const shell::Evaluation& e) {
        std::printf(
            "{\"level\": %d, \"step\": %d, \"kind\": \"%s\", \"given\": %d, \"expected\": %d, "
            "\"correct\": %s, \"gain\": %d, \"total\": %d, \"worth\": %d}\n",
            e.level, e.step, KindName(e.kind), e.given, e.expected, e.correct ? "true" : "false",
            e.gain, e.total, e.worth);
        std::fflush(stdout);
    });
    const bool ok = runner.Run((group << 8) + user);
    trace.Close();
    if (!ok) return Fail(runner.error());
    const data::UserRecord& u = runner.Flow().User();
    std::printf(
        "{\"ended\": %s, \"level\": %d, \"step\": %d, \"state\": %d, \"total\": %d, "
        "\"worth\": %d}\n",
        runner.Flow().LessonEnded() ? "true" : "false", u.Level, u.Step, u.State, u.Total,
        u.TotalWorth);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Whatever the libraries throw (memory exhausted) ends the run with a message.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lessonrun: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "lessonrun: unexpected failure\n");
    }
    return 1;
}
