// msgc: compiles message and conversion files from their text source, and dumps compiled files.
//   msgc compile SRC OUT
//   msgc dump FILE [--modulus N] [--conv K] [--raw] [--numbers] [--arg VALUE]...
//   msgc decompile FILE [SRC]
//   msgc po-export COURSE --from LANG --lang LANG [-o FILE]
//   msgc po-import COURSE --lang LANG [--from LANG] FILE
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "Decompile.h"
#include "MessageSource.h"
#include "Translate.h"
#include "platform/GuardedMain.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"
#include "platform/ToolHelp.h"
#include "text/MessageFile.h"
#include "text/MessageWriter.h"
#include "text/TextArg.h"

namespace {

const char kFolderNotFile[] = "it is a folder, not a file";

const char kUsage[] =
    "usage: msgc compile SRC OUT\n"
    "       msgc dump FILE [--modulus N] [--conv K] [--raw] [--numbers] [--arg VALUE]...\n"
    "       msgc decompile FILE [SRC]\n"
    "       msgc po-export COURSE --from LANG --lang LANG [-o FILE]\n"
    "       msgc po-import COURSE --lang LANG [--from LANG] FILE\n"
    "       msgc --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Compile(const std::string& src, const std::string& dest) {
    std::string source, why;
    if (!platform::ReadWholeFile(src, source, why)) {
        std::fprintf(stderr, "msgc: cannot read %s: %s\n", src.c_str(), why.c_str());
        return 1;
    }
    text::MessageContent content;
    msgc::SourceError error;
    bool has_time = false;
    if (!msgc::ParseMessageSource(source, content, error, &has_time)) {
        std::fprintf(stderr, "%s:%d: error: %s\n", src.c_str(), error.line, error.message.c_str());
        return 1;
    }
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!has_time)
        content.time_stamp =
            static_cast<uint32_t>(epoch ? std::strtoll(epoch, nullptr, 10) : std::time(nullptr));
    const std::string bytes = text::EncodeMessageFile(content);
    // A failed run leaves no half file and the old one as it was.
    if (!platform::ReplaceFile(dest, bytes)) {
        std::fprintf(stderr, "msgc: cannot write %s: %s\n", dest.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

// Writes the source of the compiled file path to out_path, or to standard output when it is
// empty; what the source cannot carry exactly is said on standard error.
int Decompile(const std::string& path, const std::string& out_path) {
    std::string bytes, why;
    if (!platform::ReadWholeFile(path, bytes, why)) {
        std::fprintf(stderr, "msgc: cannot read %s: %s\n", path.c_str(), why.c_str());
        return 1;
    }
    msgc::Decompiled result;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (!msgc::DecompileMessageFile(bytes, name, result, why)) {
        std::fprintf(stderr, "msgc: %s is not a message file: %s\n", path.c_str(), why.c_str());
        return 1;
    }
    for (const std::string& d : result.differences)
        std::fprintf(stderr, "msgc: %s: %s: compiled again, the file will differ there\n",
                     path.c_str(), d.c_str());
    if (out_path.empty()) {
        std::fwrite(result.source.data(), 1, result.source.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!platform::ReplaceFile(out_path, result.source)) {
        std::fprintf(stderr, "msgc: cannot write %s: %s\n", out_path.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

// Why path cannot be opened for reading: a folder, or the system's text for the error.
std::string WhyNotReadable(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return kFolderNotFile;
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (access(path.c_str(), R_OK) != 0) return std::strerror(errno);
    return std::strerror(ENOENT);
}

// An argument as the player would pass it: integer, else real, else string.
text::TextArg ParseArg(const std::string& value) {
    if (!value.empty()) {
        char* end = nullptr;
        errno = 0;
        long long i = std::strtoll(value.c_str(), &end, 0);
        if (*end == '\0' && errno == 0) return text::TextArg(i);
        double d = std::strtod(value.c_str(), &end);
        if (*end == '\0') return text::TextArg(d);
    }
    return text::TextArg(value);
}

bool ParseNumber(const char* s, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s, &end, 10);
    return *s && *end == '\0' && errno == 0;
}

int Dump(int argc, char** argv) {
    std::string path = argv[2];
    long modulus = -1, conv = -1;
    bool raw = false, numbers = false;
    std::vector<text::TextArg> args;
    for (int i = 3; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--raw") {
            raw = true;
        } else if (opt == "--numbers") {
            numbers = true;
        } else if ((opt == "--modulus" || opt == "--conv" || opt == "--arg") && i + 1 < argc) {
            const char* value = argv[++i];
            if (opt == "--arg") {
                args.push_back(ParseArg(value));
            } else if (!ParseNumber(value, opt == "--modulus" ? modulus : conv) ||
                       (opt == "--modulus" ? modulus : conv) < 0) {
                std::fprintf(stderr, "msgc: %s needs a number\n", opt.c_str());
                return 2;
            }
        } else {
            return Usage();
        }
    }
    // A relative path names a file in the current folder.
    if (!path.empty() && path[0] != '/' && path[0] != '\\' &&
        !(path.size() > 1 && path[1] == ':')) {
        char* cwd = getcwd(nullptr, 0);
        path = std::string(cwd ? cwd : ".") + "/" + path;
        std::free(cwd);
    }
    // Link files name others from the program's own folder.
    text::MessageFile file(platform::AbsoluteProgramPath(argv[0]));
    if (!file.Open(path, 0)) {
        const std::string why = file.State() == text::MessageFile::kBadTable
                                    ? "not a valid message file (bad offset table or link chain)"
                                    : WhyNotReadable(path);
        std::fprintf(stderr, "msgc: cannot open %s: %s\n", argv[2], why.c_str());
        return 1;
    }
    if (modulus >= 0) file.SetCheckModulus(static_cast<unsigned>(modulus));
    if (conv >= 0) file.SetConversionLine(static_cast<int>(conv));
    file.SetShowNumbers(numbers);
    for (int n = 0; n < file.RecordCount(); ++n) {
        std::string line;
        if (raw) {
            line = msgc::JsonRecord(n, file.RawText(n), {});
        } else {
            const std::string& text = file.GetTextArgs(n, args);
            line = msgc::JsonRecord(n, text, file.Spans());
        }
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// The options of po-export and po-import: --from, --lang, -o and one further operand.
struct PoOptions {
    std::string from, lang, output, file;
};

bool ParsePoOptions(int argc, char** argv, bool import, PoOptions& o) {
    for (int i = 3; i < argc; ++i) {
        const std::string opt = argv[i];
        if ((opt == "--from" || opt == "--lang" || (opt == "-o" && !import)) && i + 1 < argc) {
            (opt == "--from" ? o.from : opt == "--lang" ? o.lang : o.output) = argv[++i];
        } else if (import && o.file.empty() && !opt.empty() && opt[0] != '-') {
            o.file = opt;
        } else {
            return false;
        }
    }
    return !o.lang.empty() && (import ? !o.file.empty() : !o.from.empty());
}

int PoExport(int argc, char** argv) {
    PoOptions o;
    if (!ParsePoOptions(argc, argv, false, o)) return Usage();
    std::string po, why;
    std::vector<std::string> warnings;
    const bool ok = msgc::ExportPo(argv[2], o.from, o.lang, po, warnings, why);
    for (const std::string& w : warnings) std::fprintf(stderr, "msgc: %s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "msgc: %s: %s\n", argv[2], why.c_str());
        return 1;
    }
    if (o.output.empty()) {
        std::fwrite(po.data(), 1, po.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!platform::ReplaceFile(o.output, po)) {
        std::fprintf(stderr, "msgc: cannot write %s: %s\n", o.output.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

// Imports a PO file; what was left out is listed on standard error, what was done on standard
// output. Exit 1 when an entry was refused or fuzzy.
int PoImport(int argc, char** argv) {
    PoOptions o;
    if (!ParsePoOptions(argc, argv, true, o)) return Usage();
    std::string po, why;
    if (!platform::ReadWholeFile(o.file, po, why)) {
        std::fprintf(stderr, "msgc: cannot read %s: %s\n", o.file.c_str(), why.c_str());
        return 1;
    }
    msgc::ImportReport report;
    if (!msgc::ImportPo(argv[2], o.lang, o.from, po, o.file, report, why)) {
        std::fprintf(stderr, "msgc: %s\n", why.c_str());
        return 1;
    }
    for (const std::string& r : report.refused) std::fprintf(stderr, "%s: refused\n", r.c_str());
    for (const std::string& f : report.fuzzy)
        std::fprintf(stderr, "%s: fuzzy, left out\n", f.c_str());
    for (const std::string& m : report.missing)
        std::fprintf(stderr, "msgc: %s: no translation, missing in %s\n", m.c_str(),
                     o.lang.c_str());
    for (const std::string& n : report.notes) std::printf("msgc: %s\n", n.c_str());
    for (const std::string& w : report.written) std::printf("msgc: wrote %s\n", w.c_str());
    std::printf("msgc: %d texts changed in %zu files; %zu refused, %zu fuzzy, %zu missing\n",
                report.changed_texts, report.written.size(), report.refused.size(),
                report.fuzzy.size(), report.missing.size());
    if (std::fflush(stdout) != 0) return 1;
    return report.refused.empty() && report.fuzzy.empty() ? 0 : 1;
}

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("msgc", kUsage, argc, argv); rc >= 0)
        return rc;
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if (command == "compile" && argc == 4) return Compile(argv[2], argv[3]);
    if (command == "dump") return Dump(argc, argv);
    if (command == "decompile" && argc <= 4) return Decompile(argv[2], argc == 4 ? argv[3] : "");
    if (command == "po-export") return PoExport(argc, argv);
    if (command == "po-import") return PoImport(argc, argv);
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("msgc", argc, argv, Run);
}
