// lderun: runs a compiled lesson script on a headless stage and prints the outcome as JSON.
//   lderun SCRIPT [--dir COURSE] [--ticks N] [--trace FILE] [--answer TEXT]...
//          [--set KEY=VALUE]... [--ini FILE] [--png FILE]
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QWidget>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "data/Course.h"
#include "data/OpenCourse.h"
#include "platform/AsciiCase.h"
#include "platform/GuardedMain.h"
#include "platform/Path.h"
#include "platform/ToolHelp.h"
#include "script/CommandTable.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "text/Codepage.h"
#include "text/TraceLog.h"

namespace {

const char kUsage[] =
    "usage: lderun SCRIPT [--dir COURSE] [--ticks N] [--trace FILE] [--answer TEXT]...\n"
    "              [--set KEY=VALUE]... [--ini FILE] [--png FILE]\n"
    "       lderun --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

std::string Json(const std::string& cp1252) {
    return text::Cp1252ToJson(cp1252);
}

// The answer words a question can take; anything else is a typing error, not CANCEL.
bool IsAnswerWord(std::string word) {
    word = platform::ToUpperAscii(std::move(word));
    return word == "OK" || word == "YES" || word == "NO" || word == "CANCEL";
}

// Writes the stage picture as PNG; false with the reason in why.
bool SavePicture(const QImage& picture, const std::string& path, std::string& why) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        why = file.errorString().toStdString();
        return false;
    }
    if (!picture.save(&file, "PNG")) {
        why = "the picture could not be encoded";
        return false;
    }
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        why = file.errorString().toStdString();
        return false;
    }
    file.close();
    return true;
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.string();
}

// Why the engine could not open the script: the same look-up and load, kept for its error.
std::string WhyNotOpened(const data::Course& course, const std::string& name) {
    const std::string& data_dir = course.Product().data_dir;
    const script::ScriptLocation loc = script::LocateScript(name, data_dir.empty() ? "." : data_dir,
                                                            course.Config().Get(data::kDirectory));
    const std::string path = course.Resolve(loc.path);
    script::ScriptFile probe;
    int error = 0;
    if (probe.Load(path, &error)) return "it could not be read";
    return path + ": " + script::ScriptFile::LoadErrorText(error);
}

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("lderun", kUsage, argc, argv); rc >= 0)
        return rc;
    std::string script_name, dir = ".", trace_path, png_path, ini_path;
    long ticks_limit = 10000;
    std::vector<std::string> answers, sets;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--dir") {
            if (!value(dir)) return Usage();
        } else if (a == "--ticks") {
            if (!value(v)) return Usage();
            char* end = nullptr;
            errno = 0;
            ticks_limit = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || ticks_limit < 0) return Usage();
        } else if (a == "--trace") {
            if (!value(trace_path)) return Usage();
        } else if (a == "--png") {
            if (!value(png_path)) return Usage();
        } else if (a == "--answer") {
            if (!value(v)) return Usage();
            if (!IsAnswerWord(v)) {
                std::fprintf(stderr, "lderun: --answer takes OK, YES, NO or CANCEL, not %s\n",
                             v.c_str());
                return 2;
            }
            answers.push_back(v);
        } else if (a == "--set") {
            if (!value(v)) return Usage();
            sets.push_back(v);
        } else if (a == "--ini") {
            if (!value(ini_path)) return Usage();
        } else if (a.rfind("--", 0) == 0 || !script_name.empty()) {
            return Usage();
        } else {
            script_name = a;
        }
    }
    if (script_name.empty()) return Usage();

    // Paths given on the command line are the caller's; the course's own paths are taken from
    // its folder, whatever the current folder is.
    if (!std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "lderun: cannot enter %s\n", dir.c_str());
        return 1;
    }
    data::Course course(Absolute(dir) + "/lderun");
    if (script_name.find_first_of("/\\") != std::string::npos && script_name[0] != '/') {
        script_name = Absolute(script_name);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);

    // The settings of the INI given (none without --ini) and --set lines; the data folder of
    // the course's catalogue when it has one, else the course folder itself.
    data::CourseOptions options;
    options.ini = ini_path.empty() ? std::string() : Absolute(ini_path);
    options.without_ini = true;
    options.overrides = sets;
    options.catalogue_optional = true;
    options.common_texts = false;
    if (platform::Status opened = data::OpenCourse(course, options); !opened) {
        std::fprintf(stderr, "lderun: %s\n", opened.Text().c_str());
        return opened.code() == EINVAL ? 2 : 1;
    }
    if (!trace_path.empty()) {
        course.Flags().Set(data::Trace);
        if (!course.Trace().Open(trace_path)) {
            std::fprintf(stderr, "lderun: cannot open the trace log %s: %s\n", trace_path.c_str(),
                         std::strerror(course.Trace().LastError()));
            return 1;
        }
    }

    script::HeadlessHost host;
    for (const std::string& a : answers) host.AddAnswer(a);
    QWidget stage;
    stage.resize(1008, 749);
    QImage picture(1008, 749, QImage::Format_RGB32);
    picture.fill(Qt::white);

    course.SetTitle("lderun");
    script::ScriptEngine engine(course, &host);
    int64_t now = 1;
    engine.SetClock([&now] { return now; });
    engine.Bind(&stage, nullptr, &picture);
    engine.Start();
    engine.OpenScript(script_name, -1);
    if (engine.File().Path().empty() && host.ended_count == 0) {
        std::fprintf(stderr, "lderun: cannot open script %s: %s\n", script_name.c_str(),
                     WhyNotOpened(course, script_name).c_str());
        return 1;
    }

    long ticks = 0;
    while (ticks < ticks_limit) {
        if ((engine.Ended() || host.ended_count > 0) && !engine.AnythingMoving()) break;
        engine.Tick();
        now += engine.TimerInterval();
        ++ticks;
    }
    const bool ended = engine.Ended() || host.ended_count > 0;

    std::string out = "{\"ended\": ";
    out += ended ? "true" : "false";
    out += ", \"ticks\": " + std::to_string(ticks) + ", \"objects\": [";
    bool first = true;
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        for (const script::StageObject* o : engine.ObjectsInOrder(kind)) {
            const script::ObjectRecord& r = o->rec;
            out += first ? "" : ", ";
            first = false;
            out += "{\"id\": " + std::to_string(r.id) + ", \"kind\": " + std::to_string(kind) +
                   ", \"class\": " + std::to_string(r.display_class) +
                   ", \"x\": " + std::to_string(r.x) + ", \"y\": " + std::to_string(r.y) +
                   ", \"width\": " + std::to_string(r.width) +
                   ", \"height\": " + std::to_string(r.height) +
                   ", \"visible\": " + (r.visible ? "true" : "false") +
                   ", \"label\": " + Json(r.label) + ", \"type\": " + std::to_string(r.type) + "}";
        }
    }
    out += "], \"variables\": [";
    for (int level = 0; level <= script::kMaxCallDepth; ++level) {
        out += level ? ", [" : "[";
        const auto& vars = engine.Variables(level);
        for (size_t i = 0; i < vars.size(); ++i) out += (i ? ", " : "") + Json(vars[i]);
        out += "]";
    }
    out += "]}";
    std::printf("%s\n", out.c_str());
    std::string why;
    if (!png_path.empty() && !SavePicture(picture, png_path, why)) {
        std::fprintf(stderr, "lderun: cannot write %s: %s\n", png_path.c_str(), why.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("lderun", argc, argv, Run);
}
