#include "SourceMap.h"

#include <filesystem>

#include "Decompile.h"
#include "MessageSource.h"
#include "check/FileLimits.h"
#include "data/Course.h"
#include "data/OpenCourse.h"
#include "platform/AsciiCase.h"
#include "platform/Path.h"
#include "script/Assembler.h"

namespace coursecheck {

namespace {

namespace fs = std::filesystem;

// A bound on the entries looked at, so a source folder that is a whole disk still ends.
constexpr size_t kMaxEntries = 20000;
constexpr uint64_t kSourceCap = 16u << 20;

std::string Upper(std::string s) {
    return platform::ToUpperAscii(std::move(s));
}

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        const size_t at = path.find('\\', pos);
        parts.push_back(path.substr(pos, at == std::string::npos ? at : at - pos));
        if (at == std::string::npos) return parts;
        pos = at + 1;
    }
}

bool Read(const std::string& path, std::string& out) {
    std::string why;
    return check::ReadBounded(path, kSourceCap, out, why);
}

}  // namespace

std::string CourseDirectory(const std::string& folder) {
    std::string program;
    if (!data::CourseProgramIn(folder, program)) return {};
    // The INI alone: the catalogue and texts are the checker's to read, within their bounds.
    data::Course course(program);
    if (!course.Config().LoadConfiguration(course.IniPath())) return {};
    return course.Config().Get(data::kDirectory);
}

SourceMap::SourceMap(std::string course, std::string dir, const std::vector<std::string>& folders)
    : course_(std::move(course)), dir_(Upper(std::move(dir))) {
    size_t seen = 0;
    for (const std::string& folder : folders) {
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator() && seen < kMaxEntries;
             it.increment(ec), ++seen) {
            std::error_code kind;
            if (!it->is_regular_file(kind)) continue;
            const std::string ext = Upper(it->path().extension().string());
            if (ext != ".TXT" && ext != ".LDS") continue;
            candidates_.push_back(Candidate{it->path().string(), Upper(it->path().stem().string()),
                                            Upper(it->path().parent_path().filename().string()),
                                            ext == ".LDS"});
        }
    }
}

std::optional<SourceMap::Source> SourceMap::Find(const std::string& course_path) {
    const std::vector<std::string> parts = Split(Upper(course_path));
    const std::string& file = parts.back();
    const size_t dot = file.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : file.substr(dot);
    const bool message = ext == ".MSG" || ext == ".CNV";
    const bool script = parts.size() >= 2 && parts[parts.size() - 2] == "LDE" && ext.empty();
    if (!message && !script) return std::nullopt;
    // The language folder a message file stands in (none for MSG\SND.MSG).
    const std::string lang = message && parts.size() >= 3 ? parts[parts.size() - 2] : "";
    const std::string stem = file.substr(0, dot);
    const std::string bare =
        !dir_.empty() && stem.rfind(dir_, 0) == 0 ? stem.substr(dir_.size()) : stem;

    std::string compiled;
    if (!Read(platform::NativePathIn(course_, course_path), compiled)) return std::nullopt;
    text::MessageContent content;
    if (message) {
        std::vector<uint32_t> sums;
        std::vector<std::string> differences;
        std::string why;
        if (!msgc::DecodeMessageFile(compiled, content, sums, differences, why))
            return std::nullopt;
    }
    for (const Candidate& c : candidates_) {
        if (c.script != script || (c.stem != stem && c.stem != bare)) continue;
        if (!lang.empty() && c.parent != lang) continue;
        std::string text;
        if (!Read(c.path, text)) continue;
        Source source{c.path, {}, {}, script};
        if (script) {
            const script::AssemblyResult r = script::Assemble(text);
            if (r.ok && std::string(r.bytes.begin(), r.bytes.end()) == compiled) return source;
            continue;
        }
        text::MessageContent parsed;
        msgc::SourceError error;
        if (!msgc::ParseMessageSource(text, parsed, error, nullptr, &source.header_lines) ||
            parsed.texts != content.texts)
            continue;
        for (size_t i = 0; i < parsed.texts.size(); ++i) {
            const int header = source.header_lines[i];
            source.first_lines.push_back(header > 0 && !parsed.texts[i].empty() ? header + 1 : 0);
        }
        return source;
    }
    return std::nullopt;
}

void SourceMap::Annotate(check::Finding& f) {
    const std::string key = Upper(f.path);
    auto it = found_.find(key);
    if (it == found_.end()) it = found_.emplace(key, Find(f.path)).first;
    if (!it->second) return;
    const Source& s = *it->second;
    f.source = s.path;
    if (s.script) {
        f.source_line = f.line;  // a script's lines are its source's lines
    } else if (f.text >= 0 && static_cast<size_t>(f.text) < s.header_lines.size()) {
        f.source_line = s.first_lines[f.text] > 0 ? s.first_lines[f.text] : s.header_lines[f.text];
    }
}

}  // namespace coursecheck
