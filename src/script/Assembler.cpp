#include "script/Assembler.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "platform/AsciiCase.h"
#include "platform/LittleEndian.h"
#include "script/Arguments.h"
#include "script/CommandTable.h"
#include "text/Codepage.h"

namespace script {

namespace {

std::string Upper(std::string_view s) {
    return platform::ToUpperAscii(std::string(s));
}

bool IsTargetArgument(int op, int index) {
    switch (op) {
        case kKwIf:
        case kKwCase:
            return index == 2;
        case kKwLoop:
        case kKwSyncLoop:
            return index == 1;
        case kKwEndCase:
        case kKwEndLoop:
        case kKwEndSyncLoop:
        case kKwGoTo:
            return index == 0;
        default:
            return false;
    }
}

bool IsValueReference(int op, int index) {
    return (op == kKwIf || op == kKwCase) && index == 0;
}

// ---- lexer ----------------------------------------------------------------------------------

struct Token {
    enum Type { kWord, kNumber, kString, kComma, kEquals, kAt, kEnd } type = kEnd;
    std::string text;
};

class Lexer {
  public:
    explicit Lexer(std::string_view line) : s_(line) {}

    bool Next(Token& t, std::string& error) {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        t = Token{};
        if (pos_ >= s_.size() || s_[pos_] == '#' || s_[pos_] == ';') {
            t.type = Token::kEnd;
            return true;
        }
        char c = s_[pos_];
        if (c == ',') {
            ++pos_;
            t.type = Token::kComma;
            return true;
        }
        if (c == '=') {
            ++pos_;
            t.type = Token::kEquals;
            return true;
        }
        if (c == '@') {
            ++pos_;
            t.type = Token::kAt;
            return true;
        }
        if (c == '"') return String(t, error);
        size_t start = pos_;
        while (pos_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[pos_])) &&
               s_[pos_] != ',' && s_[pos_] != '=' && s_[pos_] != '@' && s_[pos_] != '"' &&
               s_[pos_] != ';' && !(s_[pos_] == '#' && pos_ == start)) {
            ++pos_;
        }
        t.text = std::string(s_.substr(start, pos_ - start));
        const char f = t.text[0];
        const bool dotted_word =
            f == '.' && t.text.size() > 1 && std::isalpha(static_cast<unsigned char>(t.text[1]));
        t.type = !dotted_word && (std::isdigit(static_cast<unsigned char>(f)) || f == '-' ||
                                  f == '+' || f == '.')
                     ? Token::kNumber
                     : Token::kWord;
        return true;
    }

  private:
    bool String(Token& t, std::string& error) {
        ++pos_;
        std::string utf8;
        while (pos_ < s_.size() && s_[pos_] != '"') {
            char c = s_[pos_++];
            if (c != '\\') {
                utf8.push_back(c);
                continue;
            }
            if (pos_ >= s_.size()) break;
            char e = s_[pos_++];
            if (e == 'n')
                utf8.push_back('\n');
            else if (e == 't')
                utf8.push_back('\t');
            else if (e == 'r')
                utf8.push_back('\r');
            else if (e == 'x') {
                // A raw byte, kept apart from the UTF-8 conversion below.
                if (pos_ + 2 > s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[pos_])) ||
                    !std::isxdigit(static_cast<unsigned char>(s_[pos_ + 1]))) {
                    error = "\\x needs two hex digits";
                    return false;
                }
                int v = static_cast<int>(
                    std::strtol(std::string(s_.substr(pos_, 2)).c_str(), nullptr, 16));
                pos_ += 2;
                utf8 += "\x01";
                raw_.push_back(static_cast<char>(v));
            } else {
                utf8.push_back(e);
            }
        }
        if (pos_ >= s_.size()) {
            error = "unterminated string";
            return false;
        }
        ++pos_;
        // Convert the UTF-8 text to single-byte text, then put the raw bytes back.
        std::string converted;
        size_t bad = 0;
        std::string escaped_marker = utf8;
        if (!text::Utf8ToCp1252(escaped_marker, converted, &bad)) {
            error = "string has a character outside the single-byte code page";
            return false;
        }
        std::string out;
        size_t r = 0;
        for (char c : converted) {
            if (c == '\x01' && r < raw_.size())
                out.push_back(raw_[r++]);
            else
                out.push_back(c);
        }
        raw_.clear();
        if (out.find('\0') != std::string::npos) {
            error = "a string cannot hold a NUL byte";
            return false;
        }
        t.type = Token::kString;
        t.text = out;
        return true;
    }

    std::string_view s_;
    size_t pos_ = 0;
    std::string raw_;
};

// ---- writer ---------------------------------------------------------------------------------

struct Writer {
    std::vector<uint8_t> bytes;
    void I16(int v) { platform::AppendLe16(bytes, uint16_t(v)); }
    // A real goes by its bit pattern, so no conversion can change a NaN on the way.
    void F32(uint32_t bits) { platform::AppendLe32(bytes, bits); }
    void Str(const std::string& s) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
    }
};

std::optional<long> ParseInteger(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    if (*end != '\0') return std::nullopt;
    return v;
}

// A stored 16-bit value must come back as written: values outside [low, high] are refused.
bool InRange(long v, long low, long high, const std::string& what, std::string& error) {
    if (v >= low && v <= high) return true;
    error = what + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")";
    return false;
}

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kExponentBits = 0x7F800000u;
constexpr uint32_t kMantissaBits = 0x007FFFFFu;
constexpr uint32_t kQuietNan = 0x00400000u;  // the mantissa of a plain "nan"

// The bits of inf, nan or nan(0xM) (M the 23-bit mantissa, not 0), signed or not.
std::optional<uint32_t> ParseSpecialReal(const std::string& s) {
    std::string u = Upper(s);
    uint32_t sign = 0;
    if (!u.empty() && (u[0] == '-' || u[0] == '+')) {
        sign = u[0] == '-' ? kSignBit : 0;
        u.erase(0, 1);
    }
    if (u == "INF") return sign | kExponentBits;
    if (u == "NAN") return sign | kExponentBits | kQuietNan;
    if (u.rfind("NAN(0X", 0) != 0 || u.size() < 8 || u.back() != ')') return std::nullopt;
    const std::string digits = u.substr(6, u.size() - 7);
    if (digits.size() > 6 || digits.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return std::nullopt;
    const uint32_t mantissa = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
    if (mantissa == 0 || mantissa > kMantissaBits) return std::nullopt;
    return sign | kExponentBits | mantissa;
}

// The bits of a real written in decimal or as inf/nan; nothing when s is no real.
std::optional<uint32_t> ParseReal(const std::string& s) {
    if (auto special = ParseSpecialReal(s)) return special;
    const std::string u = Upper(s);
    if (s.empty() || u.find("NAN") != std::string::npos) return std::nullopt;
    char* end = nullptr;
    float v = std::strtof(s.c_str(), &end);
    if (*end != '\0') return std::nullopt;
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return bits;
}

bool IsRealText(const std::string& s) {
    if (ParseSpecialReal(s)) return true;
    std::string u = Upper(s);
    if (u.rfind("0X", 0) == 0 || u.rfind("-0X", 0) == 0) return false;
    return u.find_first_of(".E") != std::string::npos;
}

int ConfigIndex(const std::string& word) {
    for (size_t i = 0; i < kConfigNames.size(); ++i) {
        if (Upper(word) == kConfigNames[i]) return static_cast<int>(i);
    }
    return -1;
}

struct Fixup {
    size_t at;
    std::string label;
    int line;
};

class Assembler {
  public:
    AssemblyResult Run(std::string_view source) {
        AssemblyResult result;
        int line_no = 0;
        size_t pos = 0;
        while (pos <= source.size()) {
            size_t end = source.find('\n', pos);
            std::string_view line = source.substr(
                pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ++line_no;
            std::string error;
            if (!Line(line, line_no, error)) {
                result.error = "line " + std::to_string(line_no) + ": " + error;
                return result;
            }
            if (end == std::string_view::npos) break;
            pos = end + 1;
        }
        for (const Fixup& f : fixups_) {
            auto it = labels_.find(f.label);
            if (it == labels_.end()) {
                result.error = "line " + std::to_string(f.line) + ": unknown label " + f.label;
                return result;
            }
            if (it->second > 32767) {
                result.error = "line " + std::to_string(f.line) + ": label " + f.label +
                               " lies beyond byte 32767";
                return result;
            }
            platform::StoreLe16(&out_.bytes[f.at], uint16_t(it->second));
        }
        result.ok = true;
        result.bytes = std::move(out_.bytes);
        return result;
    }

  private:
    bool Line(std::string_view line, int line_no, std::string& error) {
        Lexer lex(line);
        std::vector<Token> tokens;
        for (;;) {
            Token t;
            if (!lex.Next(t, error)) return false;
            if (t.type == Token::kEnd) break;
            tokens.push_back(t);
        }
        if (tokens.empty()) return true;
        // Label.
        if (tokens.size() == 1 && tokens[0].type == Token::kWord && tokens[0].text.size() > 1 &&
            tokens[0].text.back() == ':') {
            std::string name = tokens[0].text.substr(0, tokens[0].text.size() - 1);
            if (labels_.count(name)) {
                error = "label " + name + " defined twice";
                return false;
            }
            labels_[name] = static_cast<long>(out_.bytes.size());
            return true;
        }
        size_t i = 0;
        int result_slot = -1;
        if (tokens[0].type == Token::kWord && tokens[0].text[0] == '$') {
            auto v = ParseInteger(tokens[0].text.substr(1));
            if (!v || tokens.size() < 3 || tokens[1].type != Token::kEquals) {
                error = "expected $slot = Command";
                return false;
            }
            if (!InRange(*v, -32768, 32767, "result slot " + tokens[0].text, error)) return false;
            result_slot = static_cast<int>(*v);
            i = 2;
        }
        if (tokens[i].type != Token::kWord) {
            error = "expected a command or keyword name";
            return false;
        }
        const std::string word = tokens[i].text;
        ++i;
        if (word[0] == '.') return Directive(word, tokens, i, error);

        // Split the arguments at commas, up to an '@'.
        std::vector<Token> args;
        bool expect_arg = true;
        for (; i < tokens.size() && tokens[i].type != Token::kAt; ++i) {
            if (tokens[i].type == Token::kComma) {
                if (expect_arg) {
                    error = "empty argument";
                    return false;
                }
                expect_arg = true;
                continue;
            }
            if (!expect_arg) {
                error = "missing comma before " + tokens[i].text;
                return false;
            }
            args.push_back(tokens[i]);
            expect_arg = false;
        }
        if (!args.empty() && expect_arg) {
            error = "argument missing after comma";
            return false;
        }
        std::vector<Token> trailer(
            tokens.begin() + static_cast<long>(std::min(i + 1, tokens.size())), tokens.end());
        const bool has_trailer = i < tokens.size();

        int op = -1;
        if (!FindOpcode(word, static_cast<int>(args.size()), op, error)) return false;
        if (IsKeyword(op)) {
            if (result_slot != -1 || has_trailer) {
                error = "a keyword takes no result slot and no object";
                return false;
            }
            return Keyword(op, args, line_no, error);
        }
        return Command(op, result_slot, args, has_trailer, trailer, line_no, error);
    }

    bool Directive(const std::string& word, const std::vector<Token>& tokens, size_t i,
                   std::string& error) {
        if (word == ".lines") {
            if (i < tokens.size() && Upper(tokens[i].text) == "OFF")
                lines_ = false;
            else if (i < tokens.size() && Upper(tokens[i].text) == "ON")
                lines_ = true;
            else {
                error = ".lines takes on or off";
                return false;
            }
            return true;
        }
        if (word == ".word" || word == ".byte") {
            for (; i < tokens.size(); ++i) {
                if (tokens[i].type == Token::kComma) continue;
                auto v = ParseInteger(tokens[i].text);
                if (!v) {
                    error = "bad number " + tokens[i].text;
                    return false;
                }
                // Signed or unsigned, as a 16-bit or 8-bit value can be read.
                const bool is_word = word == ".word";
                if (!InRange(*v, is_word ? -32768 : -128, is_word ? 65535 : 255,
                             word + " " + tokens[i].text, error))
                    return false;
                if (word == ".word")
                    out_.I16(static_cast<int>(*v));
                else
                    out_.bytes.push_back(static_cast<uint8_t>(*v));
            }
            return true;
        }
        error = "unknown directive " + word;
        return false;
    }

    bool FindOpcode(const std::string& word, int arg_count, int& op, std::string& error) {
        std::string name = word;
        size_t hash = word.find('#');
        if (hash != std::string::npos) {
            name = word.substr(0, hash);
            auto v = ParseInteger(word.substr(hash + 1));
            if (!v || !FindInstruction(static_cast<int>(*v))) {
                error = "bad opcode in " + word;
                return false;
            }
            op = static_cast<int>(*v);
            if (!name.empty() && Upper(FindInstruction(op)->name) != Upper(name)) {
                error = "opcode " + std::to_string(op) + " is not " + name;
                return false;
            }
            return true;
        }
        int candidates = 0;
        for (int o = 0; o < kCommandCount; ++o) {
            if (Upper(kCommands[o].name) != Upper(name)) continue;
            ++candidates;
            if (ArgumentCount(kCommands[o].signature) == arg_count) {
                op = o;
                return true;
            }
        }
        for (int k = 0; k < kKeywordCount; ++k) {
            if (Upper(kKeywords[k].name) == Upper(name)) {
                op = kKeywordBase + k;
                return true;
            }
        }
        error = candidates
                    ? "no form of " + name + " takes " + std::to_string(arg_count) + " arguments"
                    : "unknown command " + name;
        return false;
    }

    bool Keyword(int op, const std::vector<Token>& args, int line_no, std::string& error) {
        const char* sig = kKeywords[op - kKeywordBase].signature;
        const int count = ArgumentCount(sig);
        if (static_cast<int>(args.size()) != count) {
            error = std::string(kKeywords[op - kKeywordBase].name) + " takes " +
                    std::to_string(count) + " arguments";
            return false;
        }
        out_.I16(op);
        for (int a = 0; a < count; ++a) {
            const Token& t = args[a];
            const char letter = SignatureLetter(sig, a);
            if (letter == 'S') {
                if (t.type != Token::kString) {
                    error = "argument " + std::to_string(a + 1) + " must be a string";
                    return false;
                }
                out_.Str(t.text);
            } else if (letter == 'R') {
                auto v = ParseReal(t.text);
                if (!v) {
                    error = "bad real " + t.text;
                    return false;
                }
                out_.F32(*v);
            } else if (t.type == Token::kNumber) {
                auto v = ParseInteger(t.text);
                if (!v || *v < -32768 || *v > 65535) {
                    error = "bad integer " + t.text;
                    return false;
                }
                out_.I16(static_cast<int>(*v));
            } else if (t.type == Token::kWord && t.text[0] == '&' && IsValueReference(op, a)) {
                auto v = ParseInteger(t.text.substr(1));
                if (!v || *v < 0 || *v > 32367) {
                    error = "bad variable reference " + t.text;
                    return false;
                }
                out_.I16(400 + static_cast<int>(*v));
            } else if (t.type == Token::kWord && IsValueReference(op, a) &&
                       ConfigIndex(t.text) >= 0) {
                out_.I16(200 + ConfigIndex(t.text));
            } else if (t.type == Token::kWord && IsTargetArgument(op, a)) {
                fixups_.push_back({out_.bytes.size(), t.text, line_no});
                out_.I16(0);
            } else {
                error = "bad argument " + t.text;
                return false;
            }
        }
        return true;
    }

    bool Command(int op, int result_slot, const std::vector<Token>& args, bool has_trailer,
                 const std::vector<Token>& trailer, int line_no, std::string& error) {
        const CommandInfo& info = kCommands[op];
        const int count = ArgumentCount(info.signature);
        if (static_cast<int>(args.size()) != count) {
            error = std::string(info.name) + " takes " + std::to_string(count) + " arguments";
            return false;
        }
        if (info.global && has_trailer) {
            error = std::string(info.name) + " takes no object";
            return false;
        }
        if (!info.global && !has_trailer) {
            error = std::string(info.name) + " needs an object: @ id [Kind]";
            return false;
        }
        if (lines_ && line_no != last_line_) {
            if (line_no > 32767) {
                error = "Numline holds line numbers up to 32767 (write .lines off above here)";
                return false;
            }
            out_.I16(kKwNumline);
            out_.I16(line_no);
            last_line_ = line_no;
        }
        out_.I16(op);
        out_.I16(result_slot);
        const OptionTable options = OptionTableFor(op);
        for (int a = 0; a < count; ++a) {
            const Token& t = args[a];
            const char letter = SignatureLetter(info.signature, a);
            if (t.type == Token::kString) {
                out_.I16(kTagString);
                out_.Str(t.text);
            } else if (t.type == Token::kWord && t.text[0] == '&') {
                auto v = ParseInteger(t.text.substr(1));
                if (!v || *v < -32768 || *v > 32767) {
                    error = "bad variable reference " + t.text;
                    return false;
                }
                out_.I16(kTagVariable);
                out_.I16(static_cast<int>(*v));
            } else if (t.type == Token::kWord && t.text[0] == '_') {
                auto v =
                    t.text.size() == 1 ? std::optional<long>(0) : ParseInteger(t.text.substr(1));
                if (!v || *v == kTagVariable || *v == kTagInteger || *v == kTagReal ||
                    *v == kTagString) {
                    error = "bad empty-argument tag " + t.text;
                    return false;
                }
                if (!InRange(*v, -32768, 32767, "tag " + t.text, error)) return false;
                out_.I16(static_cast<int>(*v));
            } else if (t.type == Token::kWord && letter == 'M' && !ParseSpecialReal(t.text)) {
                int index = -1;
                for (int w = 0; w < options.count; ++w) {
                    if (Upper(t.text) == options.words[w].word) index = w;
                }
                if (index < 0) {
                    error = "unknown option " + t.text + " for " + info.name;
                    return false;
                }
                out_.I16(kTagInteger);
                out_.I16(index);
            } else if (t.type == Token::kNumber ? IsRealText(t.text)
                                                : ParseSpecialReal(t.text).has_value()) {
                auto v = ParseReal(t.text);
                if (!v) {
                    error = "bad real " + t.text;
                    return false;
                }
                out_.I16(kTagReal);
                out_.F32(*v);
            } else if (t.type == Token::kNumber) {
                auto v = ParseInteger(t.text);
                if (!v || *v < -32768 || *v > 32767) {
                    error = "bad integer " + t.text;
                    return false;
                }
                out_.I16(kTagInteger);
                out_.I16(static_cast<int>(*v));
            } else {
                error = "bad argument " + t.text;
                return false;
            }
        }
        if (!info.global) {
            int id = 0, kind = kBmp;
            size_t k = 0;
            if (k < trailer.size() && trailer[k].type == Token::kWord &&
                (Upper(trailer[k].text) == "BACKGROUND" || Upper(trailer[k].text) == "PANEL")) {
                kind = Upper(trailer[k].text) == "PANEL" ? kPanel : kBackground;
                id = kind == kPanel ? kPanelId : kBackgroundId;
                ++k;
            } else if (k < trailer.size() && trailer[k].type == Token::kNumber) {
                auto v = ParseInteger(trailer[k].text);
                if (!v || *v < -32768 || *v > 32767) {
                    error = "bad object identifier " + trailer[k].text;
                    return false;
                }
                id = static_cast<int>(*v);
                ++k;
                if (k < trailer.size()) {
                    bool found = false;
                    for (int kk = 0; kk < kKindCount; ++kk) {
                        if (Upper(trailer[k].text) == Upper(kKindNames[kk])) {
                            kind = kk;
                            found = true;
                        }
                    }
                    if (!found) {
                        auto kv = ParseInteger(trailer[k].text);
                        if (!kv) {
                            error = "unknown object kind " + trailer[k].text;
                            return false;
                        }
                        if (!InRange(*kv, -32768, 32767, "object kind " + trailer[k].text, error))
                            return false;
                        kind = static_cast<int>(*kv);
                    }
                    ++k;
                }
            } else {
                error = "expected an object identifier after @";
                return false;
            }
            if (k != trailer.size()) {
                error = "unexpected text after the object";
                return false;
            }
            out_.I16(id);
            out_.I16(kind);
        }
        return true;
    }

    Writer out_;
    std::map<std::string, long> labels_;
    std::vector<Fixup> fixups_;
    bool lines_ = true;
    int last_line_ = -1;
};

// ---- disassembler ---------------------------------------------------------------------------

class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
    bool I16(int& v) {
        if (pos_ + 2 > b_.size()) return false;
        v = platform::LoadLeI16(&b_[pos_]);
        pos_ += 2;
        return true;
    }
    bool F32(uint32_t& bits) {
        if (pos_ + 4 > b_.size()) return false;
        bits = platform::LoadLeU32(&b_[pos_]);
        pos_ += 4;
        return true;
    }
    bool Str(std::string& s) {
        size_t end = pos_;
        while (end < b_.size() && b_[end] != 0) ++end;
        if (end >= b_.size()) return false;
        s.assign(reinterpret_cast<const char*>(b_.data() + pos_), end - pos_);
        pos_ = end + 1;
        return true;
    }
    size_t pos_ = 0;

  private:
    const std::vector<uint8_t>& b_;
};

std::string Quote(const std::string& s) {
    std::string out = "\"";
    std::string plain;
    auto flush = [&] {
        out += text::Cp1252ToUtf8(plain);
        plain.clear();
    };
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            plain.push_back('\\');
            plain.push_back(static_cast<char>(c));
        } else if (c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 ||
                   c == 0x9D) {
            flush();
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            plain.push_back(static_cast<char>(c));
        }
    }
    flush();
    return out + "\"";
}

// A real that assembles back to the same 32 bits: nine significant digits for a finite value,
// inf, nan, or nan(0xM) with the mantissa of any other NaN; a minus sign for the sign bit.
std::string RealLiteral(uint32_t bits) {
    const std::string sign = bits & kSignBit ? "-" : "";
    const uint32_t mantissa = bits & kMantissaBits;
    if ((bits & kExponentBits) == kExponentBits) {
        if (mantissa == 0) return sign + "inf";
        if (mantissa == kQuietNan) return sign + "nan";
        char buf[16];
        std::snprintf(buf, sizeof buf, "nan(0x%X)", mantissa);
        return sign + buf;
    }
    float f;
    std::memcpy(&f, &bits, 4);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
    std::string s = buf;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

// One decoded instruction, or nothing when the bytes do not hold a whole one.
// Targets found are added to targets; a target prints as a label when labels holds it.
std::optional<std::string> DecodeOne(Reader& r, std::set<long>& targets,
                                     const std::set<long>& labels) {
    int op;
    if (!r.I16(op)) return std::nullopt;
    const CommandInfo* info = FindInstruction(op);
    if (!info) return ".word " + std::to_string(op);
    std::string line;
    const int count = ArgumentCount(info->signature);
    if (IsKeyword(op)) {
        line = info->name;
        for (int a = 0; a < count; ++a) {
            const char letter = SignatureLetter(info->signature, a);
            line += a == 0 ? " " : ", ";
            if (letter == 'S') {
                std::string s;
                if (!r.Str(s)) return std::nullopt;
                line += Quote(s);
            } else if (letter == 'R') {
                uint32_t f;
                if (!r.F32(f)) return std::nullopt;
                line += RealLiteral(f);
            } else {
                int v;
                if (!r.I16(v)) return std::nullopt;
                if (IsTargetArgument(op, a)) targets.insert(v);
                if (IsTargetArgument(op, a) && labels.count(v)) {
                    line += "L" + std::to_string(v);
                } else if (IsValueReference(op, a) && v > 400) {
                    line += "&" + std::to_string(v - 400);
                } else if (IsValueReference(op, a) && v >= 200 && v < 216) {
                    line += kConfigNames[v - 200];
                } else {
                    line += std::to_string(v);
                }
            }
        }
        return line;
    }
    int slot;
    if (!r.I16(slot)) return std::nullopt;
    if (slot != -1) line = "$" + std::to_string(slot) + " = ";
    line += info->name;
    // The opcode is spelled out when the name has several forms.
    int forms = 0;
    for (const CommandInfo& c : kCommands) forms += std::string(c.name) == info->name;
    if (forms > 1) line += "#" + std::to_string(op);
    const OptionTable options = OptionTableFor(op);
    for (int a = 0; a < count; ++a) {
        line += a == 0 ? " " : ", ";
        int tag;
        if (!r.I16(tag)) return std::nullopt;
        const char letter = SignatureLetter(info->signature, a);
        if (tag == kTagInteger) {
            int v;
            if (!r.I16(v)) return std::nullopt;
            if (letter == 'M' && v >= 0 && v < options.count)
                line += options.words[v].word;
            else
                line += std::to_string(v);
        } else if (tag == kTagReal) {
            uint32_t f;
            if (!r.F32(f)) return std::nullopt;
            line += RealLiteral(f);
        } else if (tag == kTagString) {
            std::string s;
            if (!r.Str(s)) return std::nullopt;
            line += Quote(s);
        } else if (tag == kTagVariable) {
            int v;
            if (!r.I16(v)) return std::nullopt;
            line += "&" + std::to_string(v);
        } else {
            line += tag == 0 ? "_" : "_" + std::to_string(tag);
        }
    }
    if (!info->global) {
        int id, kind;
        if (!r.I16(id) || !r.I16(kind)) return std::nullopt;
        line += " @ " + std::to_string(id) + " ";
        line += kind >= 0 && kind < kKindCount ? kKindNames[kind] : std::to_string(kind);
    }
    return line;
}

}  // namespace

AssemblyResult Assemble(std::string_view source) {
    return Assembler().Run(source);
}

std::string Disassemble(const std::vector<uint8_t>& bytes) {
    // First pass: where instructions start and where jumps go; a label is printed for every
    // target that is the start of an instruction (or the end of the file).
    std::set<long> targets, starts, labels, none;
    {
        Reader r(bytes);
        while (r.pos_ < bytes.size()) {
            starts.insert(static_cast<long>(r.pos_));
            if (!DecodeOne(r, targets, none)) break;
        }
        starts.insert(static_cast<long>(bytes.size()));
        for (long t : targets) {
            if (starts.count(t)) labels.insert(t);
        }
    }
    std::string out = ".lines off\n";
    Reader r(bytes);
    while (r.pos_ < bytes.size()) {
        const size_t start = r.pos_;
        if (labels.count(static_cast<long>(start))) out += "L" + std::to_string(start) + ":\n";
        std::set<long> ignored;
        auto line = DecodeOne(r, ignored, labels);
        if (!line) {
            // A cut instruction: what is left is printed as raw bytes.
            for (size_t i = start; i < bytes.size(); ++i) {
                out +=
                    "    .byte " + std::to_string(bytes[i]) + "    ; @" + std::to_string(i) + "\n";
            }
            break;
        }
        out += "    " + *line + "    ; @" + std::to_string(start) + "\n";
    }
    if (labels.count(static_cast<long>(bytes.size())))
        out += "L" + std::to_string(bytes.size()) + ":\n";
    return out;
}

}  // namespace script
