#include "Translate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "Decompile.h"
#include "Po.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"
#include "text/MessageWriter.h"
#include "text/TextCodes.h"

namespace msgc {
namespace {

namespace fs = std::filesystem;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

// The entry of folder named name in any letter case; "" when there is none.
std::string FindChild(const std::string& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(fs::path(folder) / name, ec)) return (fs::path(folder) / name).string();
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (Upper(e.path().filename().string()) == Upper(name)) return e.path().string();
    return {};
}

// The message and conversion files of a language folder, by name.
std::vector<std::string> MessageFileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string ext = Upper(e.path().extension().string());
        if ((ext == ".MSG" || ext == ".CNV") && e.is_regular_file(ec))
            names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Loaded {
    text::MessageContent content;
    std::vector<uint32_t> sums;
    std::vector<std::string> differences;
    bool modulus_found = true;  // the stored checksums fit the modulus in content
};

// A link file: one text, which sends the player to another file (a language that borrows
// another's texts).
bool IsLinkFile(const text::MessageContent& content) {
    return content.texts.size() == 1 && content.texts[0].find("%@[") != std::string::npos;
}

bool Load(const std::string& path, Loaded& out, std::string& why) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, bytes, why)) return false;
    if (!DecodeMessageFile(bytes, out.content, out.sums, out.differences, why)) return false;
    out.content.modulus =
        FindModulus(out.content.texts, out.sums, out.content.seed, out.modulus_found);
    return true;
}

// Where a text is used, for the translator, from the file's name, the text's number and, for
// a stage object's tag file (its text 2 holds "LDE... TPS... MTX..." lines), what it holds.
std::string Usage(const std::string& file, int n, const text::MessageContent& content) {
    const std::string name = Upper(file);
    const std::string number = std::to_string(n);
    if (name == "COMMON.MSG")
        return n == 0 ? "common text 0: the language's name in the language menu, ending with its "
                        "code in parentheses, as in Deutsch (DE)"
                      : "common text " + number + " (captions, menus and messages)";
    if (name == "VTE.MSG") return "script engine text " + number;
    if (name == "MSGBOX.MSG") return "message box text " + number;
    if (name == "PASSWD.MSG") return "password window text " + number;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".CNV")
        return "unit text " + number + ": line 1 metric, line 2 imperial";
    const size_t step = name.rfind("STEP");
    if (step != std::string::npos && name.substr(name.size() - 4) == ".MSG" &&
        step + 4 < name.size() - 4 &&
        name.find_first_not_of("0123456789", step + 4) == name.size() - 4) {
        static const char* const kSlots[] = {
            "question", "answers, one per line",
            ("comments shown after each answer, \"## \" lines between them (keep the first "
             "line's panel place, X.. Y.. W..)"),
            "parameter line (script and file names: keep them)"};
        return "step " + std::to_string(n / 4 + 1) + " of level " +
               name.substr(step + 4, name.size() - 8 - step) + ": " + kSlots[n % 4];
    }
    if (content.texts.size() > 2 && content.texts[2].compare(0, 3, "LDE") == 0 && n <= 3) {
        static const char* const kTag[] = {
            "stage object's caption; the matrix item after the last ':' stays as it is",
            ("stage object's menu: its title, then one entry per line; a picture name after "
             "':' stays as it is"),
            "sub-step lines (script, points, matrix column): keep them", "sub-step question"};
        return "tag text " + number + ": " + kTag[n];
    }
    return "script text " + number + " (read by the lesson scripts)";
}

// The k-th conversion (from 1) of a format entry; "%s" when it has none.
std::string Conversion(const std::string& format, int k) {
    size_t pos = 0;
    for (int i = 1;; ++i) {
        pos = format.find('%', pos);
        if (pos == std::string::npos) return "%s";
        const size_t end = format.find_first_of(" %", pos + 1);
        if (i == k) return format.substr(pos, end == std::string::npos ? end : end - pos);
        pos = pos + 1;
    }
}

// The format entry of text n: the file's, else the built-in table of the main and script
// engine files.
std::string FormatOf(const std::string& file, const text::MessageContent& content, size_t n) {
    if (n < content.formats.size() && !content.formats[n].empty()) return content.formats[n];
    const std::string name = Upper(file);
    const char* const* table = name == "COMMON.MSG" ? text::MessageFile::CommonFormats()
                               : name == "VTE.MSG"  ? text::MessageFile::EngineFormats()
                                                    : nullptr;
    for (size_t i = 0; table && table[i]; ++i)
        if (i == n) return table[i];
    return {};
}

std::string ArgumentList(const std::set<int>& positions) {
    std::string out;
    for (int p : positions) out += (out.empty() ? "" : " ") + std::string(text::ArgumentCode(p));
    return out.empty() ? "none" : out;
}

std::string Context(const std::string& file, size_t n) {
    return file + " " + std::to_string(n);
}

bool ParseContext(const std::string& context, std::string& file, size_t& n) {
    const size_t space = context.rfind(' ');
    if (space == std::string::npos || space + 1 == context.size()) return false;
    const std::string digits = context.substr(space + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 7)
        return false;
    file = context.substr(0, space);
    n = std::stoul(digits);
    return true;
}

// The first character of s from byte pos on, written out with its code point.
std::string DescribeCharacter(const std::string& s, size_t pos) {
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if ((c >= 0x80 && c < 0xC2) || c > 0xF4 || pos + length > s.size())
        return "a byte that is no UTF-8";
    uint32_t code = length == 1 ? c : c & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) code = code << 6 | (s[pos + i] & 0x3F);
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", code);
    return "'" + s.substr(pos, length) + "' (" + buf + ")";
}

uint32_t Now() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    return static_cast<uint32_t>(epoch ? std::strtoll(epoch, nullptr, 10) : std::time(nullptr));
}

// Makes text 0 of a main file name the language code in parentheses, as the language menu
// reads it; true when it had to be changed.
bool NameLanguage(std::string& caption, const std::string& lang) {
    const size_t open = caption.find('(');
    const size_t close = open == std::string::npos ? open : caption.find(')', open);
    if (close != std::string::npos) {
        if (Upper(caption.substr(open + 1, close - open - 1)) == Upper(lang)) return false;
        caption.replace(open + 1, close - open - 1, lang);
        return true;
    }
    caption += (caption.empty() ? lang : "") + " (" + lang + ")";
    return true;
}

// Adds a catalogue line for lang, a copy of from's line, when PRODUCT.DAT has none.
bool AddCatalogueLine(const std::string& course, const std::string& from, const std::string& lang,
                      ImportReport& report, std::string& why) {
    const std::string path = FindChild(course, "PRODUCT.DAT");
    std::string bytes;
    if (path.empty() || !platform::ReadWholeFile(path, bytes, why)) {
        report.notes.push_back("no catalogue PRODUCT.DAT in the course: add a line for " + lang);
        return true;
    }
    std::string copy, eol = "\n";
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            eol = "\r\n";
        }
        const size_t open = line.rfind('[');
        if (line.empty() || line[0] != '[' || open == std::string::npos || line.back() != ']')
            continue;
        const std::string language = Upper(line.substr(open + 1, line.size() - open - 2));
        if (language == Upper(lang)) return true;
        if (language == Upper(from) && copy.empty()) copy = line.substr(0, open + 1) + lang + "]";
    }
    if (copy.empty()) {
        report.notes.push_back("PRODUCT.DAT has no line for " + from + " to copy: add one for " +
                               lang);
        return true;
    }
    if (!bytes.empty() && bytes.back() != '\n') bytes += eol;
    bytes += copy + eol;
    if (!platform::ReplaceFile(path, bytes)) {
        why = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    report.notes.push_back("PRODUCT.DAT: added " + copy);
    return true;
}

// Copies what a language folder holds besides its message files (documents, their folders)
// into a new language's folder, where the translated ones are to replace them.
bool CopyDocuments(const std::string& source, const std::string& target, ImportReport& report,
                   std::string& why) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(source, ec)) {
        const std::string ext = Upper(e.path().extension().string());
        if (ext == ".MSG" || ext == ".CNV") continue;
        const fs::path to = fs::path(target) / e.path().filename();
        fs::copy(e.path(), to, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
        if (ec) {
            why = "cannot copy " + e.path().string() + ": " + ec.message();
            return false;
        }
        report.notes.push_back("copied " + e.path().string() + " to " + to.string() +
                               ": translate it there");
    }
    if (ec) {
        why = "cannot read " + source + ": " + ec.message();
        return false;
    }
    return true;
}

// The course's MSG folder and its folder of language from, which must differ from lang.
bool LanguageFolders(const std::string& course, const std::string& from, const std::string& lang,
                     std::string& msg, std::string& source, std::string& why) {
    if (Upper(from) == Upper(lang)) {
        why = "the source language " + from + " and the translation's are the same";
        return false;
    }
    msg = FindChild(course, "MSG");
    source = msg.empty() ? "" : FindChild(msg, from);
    if (source.empty() || !fs::is_directory(source)) {
        why = "the course has no language folder MSG/" + from;
        return false;
    }
    return true;
}

}  // namespace

bool ExportPo(const std::string& course, const std::string& from, const std::string& lang,
              std::string& po, std::vector<std::string>& warnings, std::string& why) {
    std::string msg, source;
    if (!LanguageFolders(course, from, lang, msg, source, why)) return false;
    const std::string target = FindChild(msg, lang);
    po.clear();
    uint32_t newest = 0;
    for (const std::string& name : MessageFileNames(source)) {
        Loaded src, tgt;
        if (!Load((fs::path(source) / name).string(), src, why)) {
            warnings.push_back(name + ": left out, " + why);
            continue;
        }
        if (IsLinkFile(src.content)) {
            warnings.push_back(name + ": a link to another file, left out");
            continue;
        }
        const std::string target_file = target.empty() ? "" : FindChild(target, name);
        if (!target_file.empty() && !Load(target_file, tgt, why))
            warnings.push_back(target_file + ": read as empty, " + why);
        if (IsLinkFile(tgt.content)) {
            warnings.push_back(target_file + ": a link to another file, its texts are missing");
            tgt = Loaded();
        }
        for (size_t i = 0; i < src.content.texts.size(); ++i) {
            const std::string& t = src.content.texts[i];
            if (t.empty()) continue;  // nothing to translate; the target keeps its own
            PoEntry e;
            e.comments.push_back(Usage(name, static_cast<int>(i), src.content));
            const std::set<int> args = text::ArgumentPositions(t);
            if (!args.empty()) {
                const std::string format = FormatOf(name, src.content, i);
                std::string list;
                for (int p : args)
                    list += (list.empty() ? "" : ", ") + std::string(text::ArgumentCode(p)) + " " +
                            Conversion(format, p);
                e.comments.push_back("arguments: " + list);
                // Qt's %1 ... %9 are these texts' argument codes: gettext checks them.
                e.flags.push_back("qt-format");
            }
            e.has_context = true;
            e.context = Context(name, i);
            e.id = text::Cp1252ToUtf8(t);
            if (i < tgt.content.texts.size())
                e.translation = text::Cp1252ToUtf8(tgt.content.texts[i]);
            po += FormatPoEntry(e);
        }
        newest = std::max(newest, tgt.content.time_stamp);
    }
    // The header: the fields gettext's checks ask for, the revision date being the newest time
    // stamp of the target's files, and the language pair for the import.
    PoEntry header;
    header.comments.push_back(
        "Texts of the course, " + from + " to " + lang +
        (target.empty() ? " (a template: the course has no " + lang + ")" : "") +
        "; msgctxt names the message file and the text's number.");
    char date[32] = "";
    const time_t stamp = newest;
    struct tm utc;
    if (newest && gmtime_r(&stamp, &utc))
        std::strftime(date, sizeof date, "%Y-%m-%d %H:%M+0000", &utc);
    header.translation =
        "Project-Id-Version: " + fs::path(course).filename().string() +
        "\nPO-Revision-Date: " + date +
        "\nLast-Translator: \nLanguage-Team: \nLanguage: " + (target.empty() ? "" : lang) +
        "\nMIME-Version: 1.0\n"
        "Content-Type: text/plain; charset=UTF-8\n"
        "Content-Transfer-Encoding: 8bit\n"
        "X-Source-Language: " +
        from + "\nX-Course-Language: " + lang + "\n";
    po.insert(0, FormatPoEntry(header));
    return true;
}

bool ImportPo(const std::string& course, const std::string& lang, const std::string& from_option,
              const std::string& po_text, const std::string& po_name, ImportReport& report,
              std::string& why) {
    report = ImportReport();
    std::vector<PoEntry> entries;
    int line = 0;
    if (!ParsePo(po_text, entries, line, why)) {
        why = po_name + ":" + std::to_string(line) + ": " + why;
        return false;
    }
    std::string from = from_option;
    std::map<std::string, size_t> by_context;
    std::vector<bool> used(entries.size());
    auto where = [&](const PoEntry& e) {
        return po_name + ":" + std::to_string(e.translation_line ? e.translation_line : e.line);
    };
    for (size_t k = 0; k < entries.size(); ++k) {
        const PoEntry& e = entries[k];
        if (!e.has_context && e.id.empty()) {
            if (from.empty()) from = PoHeaderField(e.translation, "X-Source-Language");
            // A file converted to another encoding, or made for another language, would put
            // wrong texts into the course.
            const std::string type = Upper(PoHeaderField(e.translation, "Content-Type"));
            const size_t charset = type.find("CHARSET=");
            if (charset != std::string::npos && type.compare(charset + 8, 5, "UTF-8") != 0) {
                why = po_name + ": the PO file is not in UTF-8 (" + type.substr(charset + 8) +
                      "): convert it with msgconv -t UTF-8";
                return false;
            }
            const std::string made_for = PoHeaderField(e.translation, "X-Course-Language");
            if (!made_for.empty() && Upper(made_for) != Upper(lang)) {
                why = po_name + ": the PO file holds texts for " + made_for + ", not " + lang;
                return false;
            }
            used[k] = true;
        } else if (!by_context.emplace(e.context, k).second) {
            report.refused.push_back(where(e) + ": a second entry for " + e.context);
            used[k] = true;
        }
    }
    if (from.empty()) {
        why = po_name + ": the PO file names no source language (X-Source-Language); give --from";
        return false;
    }
    std::string msg, source;
    if (!LanguageFolders(course, from, lang, msg, source, why)) return false;
    std::string target = FindChild(msg, lang);
    const bool new_language = target.empty();
    if (new_language) {
        target = (fs::path(msg) / lang).string();
        std::error_code ec;
        if (!fs::create_directory(target, ec)) {
            why = "cannot create " + target + ": " + ec.message();
            return false;
        }
        report.notes.push_back("created the language folder " + target);
        if (!CopyDocuments(source, target, report, why)) return false;
    }

    for (const std::string& name : MessageFileNames(source)) {
        Loaded src, tgt;
        // Files the export left out.
        if (!Load((fs::path(source) / name).string(), src, why) || IsLinkFile(src.content))
            continue;
        std::string target_file = FindChild(target, name);
        if (!target_file.empty() && !Load(target_file, tgt, why)) {
            why = target_file + ": " + why;
            return false;
        }
        // A link file is replaced by the language's own texts only when it gets some.
        const bool link = IsLinkFile(tgt.content);
        const bool new_file = target_file.empty() || link;
        if (new_file) {
            if (target_file.empty()) target_file = (fs::path(target) / name).string();
            tgt = Loaded();
            tgt.content = src.content;
            tgt.content.texts.assign(src.content.texts.size(), std::string());
        }
        std::vector<std::string> texts = tgt.content.texts;
        texts.resize(std::max(texts.size(), src.content.texts.size()));
        for (size_t i = 0; i < src.content.texts.size(); ++i) {
            const std::string& original = src.content.texts[i];
            if (original.empty()) continue;
            const std::string context = Context(name, i);
            const auto found = by_context.find(context);
            const PoEntry* e = found == by_context.end() ? nullptr : &entries[found->second];
            if (e) used[found->second] = true;
            if (!e || e->translation.empty() || e->HasFlag("fuzzy") || e->plural) {
                if (e && e->plural)
                    report.refused.push_back(where(*e) + ": " + context +
                                             ": plural forms are not used by the course");
                else if (e && !e->translation.empty())
                    report.fuzzy.push_back(where(*e) + ": " + context);
                if (texts[i].empty()) report.missing.push_back(context);
                continue;
            }
            if (e->id != text::Cp1252ToUtf8(original)) {
                report.refused.push_back(where(*e) + ": " + context + ": msgid is no longer the " +
                                         from + " text (merge the PO file with a new export)");
                continue;
            }
            std::string translated;
            size_t bad = 0;
            if (!text::Utf8ToCp1252(e->translation, translated, &bad)) {
                report.refused.push_back(where(*e) + ": " + context + ": the character " +
                                         DescribeCharacter(e->translation, bad) +
                                         " has no Windows-1252 form");
                continue;
            }
            const std::set<int> wanted = text::ArgumentPositions(original);
            const std::set<int> given = text::ArgumentPositions(translated);
            if (wanted != given) {
                report.refused.push_back(where(*e) + ": " + context + ": arguments " +
                                         ArgumentList(given) + ", the " + from + " text has " +
                                         ArgumentList(wanted));
                continue;
            }
            texts[i] = translated;
        }
        auto count_changes = [&] {
            int n = 0;
            for (size_t i = 0; i < texts.size(); ++i)
                if (i >= tgt.content.texts.size() ? !texts[i].empty()
                                                  : texts[i] != tgt.content.texts[i])
                    ++n;
            return n;
        };
        int changed = count_changes();
        // The file stays byte for byte when nothing changed (a link too, when nothing came).
        if (changed == 0 && (!new_file || link)) continue;
        // The language menu lists the folder by the code text 0 names in parentheses.
        if (Upper(name) == "COMMON.MSG" && !texts.empty() && NameLanguage(texts[0], lang)) {
            report.notes.push_back(name + " 0: the language menu shows \"" +
                                   text::Cp1252ToUtf8(texts[0]) + "\"");
            changed = count_changes();
        }
        if (link) report.notes.push_back(target_file + ": the link file is replaced by the texts");
        for (const std::string& d : tgt.differences)
            report.notes.push_back(target_file + ": " + d + ", not kept");
        if (!tgt.modulus_found)
            report.notes.push_back(target_file + ": its checksums fit no modulus; written with " +
                                   std::to_string(tgt.content.modulus));
        tgt.content.texts = std::move(texts);
        tgt.content.time_stamp = Now();
        if (!platform::ReplaceFile(target_file, text::EncodeMessageFile(tgt.content))) {
            why = "cannot write " + target_file + ": " + std::strerror(errno);
            return false;
        }
        report.written.push_back(target_file);
        report.changed_texts += changed;
    }
    for (size_t k = 0; k < entries.size(); ++k) {
        if (used[k]) continue;
        std::string file;
        size_t n = 0;
        report.refused.push_back(
            where(entries[k]) + ": " +
            (entries[k].has_context && ParseContext(entries[k].context, file, n)
                 ? entries[k].context + " is no text of the " + from + " files"
                 : "an entry without a msgctxt naming a file and text"));
    }
    if (new_language && !AddCatalogueLine(course, from, lang, report, why)) return false;
    return true;
}

}  // namespace msgc
