#include "text/MessageFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/AsciiCase.h"
#include "platform/LittleEndian.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "text/ArgFormat.h"
#include "text/FormatString.h"
#include "text/MessageCodec.h"
#include "text/StreamFile.h"

namespace text {
namespace {

constexpr size_t kMaxFormats = 1024;
constexpr size_t kMaxFontName = 128;
constexpr size_t kMaxOpenSpans = 1024;
// Link files and includes open further files; this bounds the chain so no file set can loop.
constexpr int kMaxOpenDepth = 8;
thread_local int open_depth = 0;

struct DepthGuard {
    DepthGuard() { ++open_depth; }
    ~DepthGuard() { --open_depth; }
};

void CrLfToLf(std::string& s) {
    if (s.find('\r') == std::string::npos) return;
    size_t w = 0;
    for (size_t r = 0; r < s.size(); ++r) {
        if (s[r] == '\r' && r + 1 < s.size() && s[r + 1] == '\n') continue;
        s[w++] = s[r];
    }
    s.resize(w);
}

bool IsAbsolute(std::string_view p) {
    if (p.size() >= 2 && p[1] == ':') return true;
    return !p.empty() && (p[0] == '/' || p[0] == '\\');
}

// Reads "name number" or "number" from the content of an include or conversion code. The
// number defaults to -1; a lone token that reads as an integer is the number.
void SplitCode(std::string_view content, std::string& name, long& number) {
    name.clear();
    number = -1;
    std::string tokens[2];
    int count = 0;
    size_t i = 0;
    while (i < content.size() && count < 2) {
        while (i < content.size() && (content[i] == ' ' || content[i] == '\t')) ++i;
        size_t start = i;
        while (i < content.size() && content[i] != ' ' && content[i] != '\t') ++i;
        if (i > start) tokens[count++] = std::string(content.substr(start, i - start));
    }
    auto parse = [](const std::string& t, long& value) {
        if (t.empty()) return false;
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(t.c_str(), &end, 10);
        if (*end != '\0') return false;
        if (errno == ERANGE || v > INT_MAX || v < INT_MIN) v = v < 0 ? INT_MIN : INT_MAX;
        value = v;
        return true;
    };
    if (count == 1) {
        if (!parse(tokens[0], number)) name = tokens[0];
    } else if (count == 2) {
        name = tokens[0];
        if (!parse(tokens[1], number)) number = -1;
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int ColourCode(char c) {
    switch (c) {
        case 'r':
            return 1;
        case 'g':
            return 2;
        case 'u':
            return 3;
        case 'k':
            return 4;
        case 'y':
            return 5;
        case 'w':
            return 6;
        default:
            return -1;
    }
}

int StyleBit(char c) {
    switch (c) {
        case 'o':
            return 0;
        case 'l':
            return 1;
        case 's':
            return 2;
        case 'i':
            return 3;
        default:
            return -1;
    }
}

// Built-in format tables of the main file and of the script engine's file.
struct FormatTable {
    template <size_t N>
    FormatTable(size_t count, const std::pair<int, const char*> (&entries)[N]) {
        table.assign(count + 1, "");
        table[count] = nullptr;
        for (const auto& [index, format] : entries) table[static_cast<size_t>(index)] = format;
    }
    std::vector<const char*> table;
};

const std::string kEmpty;

}  // namespace

MessageFile::MessageFile() = default;

MessageFile::MessageFile(std::string program_path) : program_path_(std::move(program_path)) {}

MessageFile::~MessageFile() {
    Close();
}

void MessageFile::Close() {
    file_.reset();
    state_ = kClosed;
    std::memset(header_, 0, sizeof header_);
    header_seed_ = 0;
    file_size_ = 0;
    offsets_.clear();
    checksums_.clear();
    record_count_ = 0;
    formats_.clear();
    text_.clear();
    text_.shrink_to_fit();
    scratch_.clear();
    cache_.clear();
    cached_.clear();
    spans_.clear();
    side_files_.clear();
}

bool MessageFile::Open(const std::string& path, unsigned modulus) {
    return OpenAt(path, modulus, 0);
}

bool MessageFile::OpenDefault(unsigned modulus) {
    const std::string& program = program_path_;
    if (program.empty()) {
        Close();
        state_ = kNoPath;
        return false;
    }
    std::string path = platform::IniPathFor(program);
    path.replace(path.size() - 4, 4, ".MSG");
    return OpenAt(path, modulus, 0);
}

bool MessageFile::ResolvePath(const std::string& path, std::string& full) const {
    std::string p = path;
    if (p.size() >= 2 && p[1] == ':') p.erase(0, 2);
    std::replace(p.begin(), p.end(), '\\', '/');
    size_t slash = p.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : p.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (!folder.empty() && folder[0] == '/' && !name.empty()) {
        full = platform::NativePath(p);
        return true;
    }
    // A relative path is completed from the program's own path.
    const std::string& program = program_path_;
    if (program.empty()) return false;
    size_t prog_slash = program.find_last_of('/');
    std::string prog_dir = program.substr(0, prog_slash == std::string::npos ? 0 : prog_slash);
    if (folder.empty() || folder[0] != '/') folder = prog_dir + "/" + folder;
    if (name.empty()) {
        std::string base = program.substr(prog_slash == std::string::npos ? 0 : prog_slash + 1);
        size_t dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0) base.erase(dot);
        name = base;
    }
    if (name.find('.') == std::string::npos) name += ".MSG";
    full = platform::NativePath(folder + name);
    return true;
}

bool MessageFile::OpenAt(const std::string& path, unsigned modulus, int depth) {
    Close();
    modulus_ = modulus;
    seed_ = 0;
    raw_ = keep_crlf_ = show_numbers_ = false;
    link_path_.clear();
    conversion_line_ = 0;
    if (open_depth >= kMaxOpenDepth || depth >= kMaxOpenDepth) {
        state_ = kBadTable;  // a chain of link files that does not end
        return false;
    }
    DepthGuard guard;

    std::string full;
    if (!ResolvePath(path, full)) {
        state_ = kNoPath;
        return false;
    }
    if (!platform::FileExists(full)) {
        Report(full, ENOENT);
        return false;
    }
    auto file = std::make_unique<StreamFile>();
    if (!file->Open(full, StreamFile::kRead | StreamFile::kBinary | StreamFile::kNoCreateFolders)) {
        Report(full, file->LastError());
        return false;
    }
    file_ = std::move(file);
    full_path_ = file_->FullPath();
    directory_ = file_->Directory();
    file_name_ = file_->FileName();
    state_ = kOpen;
    if (!ReadTable()) {
        state_ = kBadTable;
        record_count_ = 0;
        return false;
    }
    seed_ = header_seed_;

    if (record_count_ == 1) {
        // A link file: its only text names the file to open instead.
        GetText(0);
        if (!link_path_.empty()) {
            std::string target;
            if (ResolvePath(link_path_, target) && target == full_path_) {
                state_ = kBadTable;  // names itself
                record_count_ = 0;
                return false;
            }
            std::string link = link_path_;
            return OpenAt(link, 0, depth + 1);
        }
    }
    LoadFormats();
    default_font_ = "MS Sans Serif";
    default_attribute_ = 0;
    return state_ == kOpen;
}

bool MessageFile::ReadTable() {
    file_size_ = static_cast<uint64_t>(file_->Size());
    if (file_size_ < kMessageHeaderSize || !file_->Seek(0, SEEK_SET) ||
        file_->Read(header_, 1, kMessageHeaderSize) != kMessageHeaderSize) {
        return false;
    }
    header_seed_ = static_cast<int32_t>(platform::LoadLeU32(header_ + 4));
    const int table = platform::LoadLeI16(header_ + 2);
    unsigned char word[4];
    if (table < 0 || static_cast<uint64_t>(table) + 4 > file_size_ ||
        !file_->Seek(table, SEEK_SET) || file_->Read(word, 1, 4) != 4) {
        return false;
    }
    const uint32_t first = platform::LoadLeU32(word);
    // The table runs up to the first record; its end must lie inside the file.
    const uint32_t entries = (first - static_cast<uint32_t>(table)) / 4;
    if (entries < 1 || table + uint64_t{entries} * 4 > file_size_) return false;
    std::vector<unsigned char> raw(size_t{entries} * 4);
    if (!file_->Seek(table, SEEK_SET) || file_->Read(raw.data(), 1, raw.size()) != raw.size()) {
        return false;
    }
    offsets_.resize(entries);
    for (uint32_t i = 0; i < entries; ++i) {
        offsets_[i] = platform::LoadLeU32(raw.data() + 4 * i);
        if (offsets_[i] > file_size_ || (i > 0 && offsets_[i] < offsets_[i - 1])) {
            offsets_.clear();
            return false;
        }
    }
    record_count_ = static_cast<int>(entries - 1);
    checksums_.assign(static_cast<size_t>(record_count_), 0);
    // Checksums end the records; they are read through a window that moves forward, so a file
    // of small records costs a few block reads instead of one seek per record.
    constexpr uint64_t kWindow = 64 * 1024;
    std::vector<unsigned char> window;
    uint64_t window_start = 0;
    for (int i = 0; i < record_count_; ++i) {
        if (offsets_[i + 1] - offsets_[i] < 5) continue;  // too short to hold text, NUL, checksum
        const uint64_t at = offsets_[i + 1] - 4;
        if (window.empty() || at < window_start || at + 4 > window_start + window.size()) {
            window_start = at;
            window.resize(static_cast<size_t>(std::min(kWindow, file_size_ - at)));
            if (!file_->Seek(static_cast<int64_t>(at), SEEK_SET) ||
                file_->Read(window.data(), 1, window.size()) != window.size()) {
                offsets_.clear();
                checksums_.clear();
                return false;
            }
        }
        checksums_[i] = platform::LoadLeU32(window.data() + (at - window_start));
    }
    return true;
}

void MessageFile::LoadFormats() {
    formats_.clear();
    const uint64_t at = offsets_.back();
    unsigned char head[8];
    if (at + 8 > file_size_ || !file_->Seek(static_cast<int64_t>(at), SEEK_SET) ||
        file_->Read(head, 1, 8) != 8 || platform::LoadLeU32(head) != kFormatBlockMarker) {
        return;
    }
    const uint64_t length = platform::LoadLeU32(head + 4);
    if (length > file_size_ - at - 8) return;  // the length lies: no formats
    std::string block(length, '\0');
    if (file_->Read(block.data(), 1, block.size()) != block.size()) return;
    Unscramble(block.data(), block.size(), header_seed_);
    // Entries are NUL-ended; the writer adds one more piece than it carries, which is dropped.
    std::replace(block.begin(), block.end(), '\0', '#');
    std::vector<std::string> pieces;
    size_t pos = 0;
    while (pos < block.size()) {
        size_t hash = block.find('#', pos);
        if (hash == std::string::npos) hash = block.size();
        pieces.push_back(block.substr(pos, hash - pos));
        pos = hash + 1;
    }
    if (!pieces.empty()) pieces.pop_back();
    if (pieces.size() > kMaxFormats) pieces.resize(kMaxFormats);
    formats_ = std::move(pieces);
}

platform::Notifier& MessageFile::Notifier() const {
    return notifier_ ? *notifier_ : platform::StderrNotifier();
}

void MessageFile::Report(const std::string& caption, int error) const {
    if (show_errors_) {
        Notifier().ShowMessage(caption, platform::SystemErrorText(error));
    }
}

int64_t MessageFile::TimeStamp() const {
    return static_cast<int32_t>(platform::LoadLeU32(header_ + 8));
}

bool MessageFile::LoadRecord(int number, std::string& out, int32_t seed, unsigned modulus,
                             bool use_cache) {
    out.clear();
    if (number < 0 || number >= record_count_ || !file_) return false;
    if (use_cache && static_cast<size_t>(number) < cached_.size() && cached_[number]) {
        out = cache_[number];
        return true;
    }
    const uint32_t size = offsets_[number + 1] - offsets_[number];
    if (size < 5) return true;
    out.resize(size - 5);
    if (!file_->Seek(offsets_[number], SEEK_SET) ||
        file_->Read(out.data(), 1, out.size()) != out.size()) {
        out.clear();
        return false;
    }
    Unscramble(out.data(), out.size(), seed);
    size_t nul = out.find('\0');
    if (nul != std::string::npos) out.resize(nul);
    if (modulus != 0 && TextChecksum(out, modulus) != checksums_[number]) {
        std::fill(out.begin(), out.end(), '\xFF');
    }
    return true;
}

const std::string& MessageFile::RawText(int number) {
    LoadRecord(number, text_, seed_, modulus_, true);
    if (!keep_crlf_) CrLfToLf(text_);
    return text_;
}

int MessageFile::RecordSize(int number) const {
    if (number < 0 || number >= record_count_) return 0;
    return static_cast<int>(offsets_[number + 1] - offsets_[number]);
}

bool MessageFile::CheckVersion(int major, int minor) {
    if (MajorVersion() == major && MinorVersion() == minor) return true;
    if (show_errors_) {
        Notifier().ShowMessage(
            FormatString("%s %d.%d", file_name_.c_str(), MajorVersion(), MinorVersion()),
            platform::SystemErrorText(platform::kErrorInvalidData));
    }
    return false;
}

void MessageFile::InstallFormats(const char* const* table) {
    formats_.clear();
    for (; table && *table && formats_.size() < kMaxFormats; ++table) formats_.emplace_back(*table);
}

const char* const* MessageFile::CommonFormats() {
    static const FormatTable table(126, {{7, "%s %d %d"},
                                         {55, "%02d %d"},
                                         {56, "%.10s %s %d %s"},
                                         {57, "%d %02.1lf"},
                                         {58, "%d %-d"},
                                         {59, "%d %d %.80s"},
                                         {67, "%d"},
                                         {68, "%d"},
                                         {69, "%d"},
                                         {75, "%d"},
                                         {77, "%d %d %s %d"},
                                         {81, "%s %d"},
                                         {100, "%lX %lX %lX %lX"},
                                         {110, "%02X"},
                                         {111, "%02X"},
                                         {112, "%02X"},
                                         {120, "%s %d"},
                                         {123, "%s %d"},
                                         {125, "%d %d"}});
    return table.table.data();
}

const char* const* MessageFile::EngineFormats() {
    static const FormatTable table(
        12, {{4, "%s %d %s %d"}, {5, "%s %d %s %s %d"}, {6, "%d %s %s %d"}, {7, "%d %s %s %d"}});
    return table.table.data();
}

const std::string& MessageFile::Format(int number) const {
    if (number < 0 || static_cast<size_t>(number) >= formats_.size()) return kEmpty;
    return formats_[number];
}

std::string MessageFile::BaseName() const {
    size_t dot = file_name_.rfind('.');
    return dot == std::string::npos ? file_name_ : file_name_.substr(0, dot);
}

MessageFile* MessageFile::SideFile(const std::string& path) {
    auto it = side_files_.find(path);
    if (it != side_files_.end()) return it->second.get();
    auto side = std::make_unique<MessageFile>(program_path_);
    side->notifier_ = notifier_;
    if (!side->Open(path, 0)) {
        Report(path, side->State() == kClosed ? ENOENT : EINVAL);
        return nullptr;
    }
    return side_files_.emplace(path, std::move(side)).first->second.get();
}

bool MessageFile::FetchOther(std::string name, int number, const char* extension,
                             std::string& out) {
    out.clear();
    if (name == "?" && !link_path_.empty()) name = link_path_;
    if (name.empty() || !file_) return false;
    std::string path = IsAbsolute(name) ? name : directory_ + "/" + name;
    if (!platform::EndsWithNoCase(path, extension)) path += extension;
    MessageFile* side = SideFile(path);
    if (!side) return false;
    // The other file's own seed if it has one; it then also serves as its check modulus.
    const int32_t seed = side->header_seed_ != 0 ? side->header_seed_ : seed_;
    const unsigned modulus =
        modulus_ == 0
            ? 0
            : (side->header_seed_ != 0 ? static_cast<uint32_t>(side->header_seed_) : modulus_);
    return side->LoadRecord(number, out, seed, modulus, false);
}

void MessageFile::Expand(int number, std::string& out) {
    std::string raw;
    LoadRecord(number, raw, seed_, modulus_, true);
    if (show_numbers_) {
        out.assign(1, '#');
        out += std::to_string(number);
        if (raw.find("%@[") != std::string::npos) out += "@";
        return;
    }
    size_t code = raw.find("%@[");
    if (code == std::string::npos) {
        out = std::move(raw);
        if (!keep_crlf_) CrLfToLf(out);
        return;
    }
    out.assign(raw, 0, code);
    std::string name, inserted;
    long value;
    while (code != std::string::npos) {
        const size_t start = code + 3;
        size_t close = raw.find(']', start);
        if (close == std::string::npos) close = raw.size();
        SplitCode(std::string_view(raw).substr(start, close - start), name, value);
        if (name == "?" && !link_path_.empty()) name = link_path_;
        if (!name.empty() && value >= 0) {
            if (FetchOther(name, static_cast<int>(value), ".MSG", inserted)) out += inserted;
        } else if (!name.empty()) {
            const std::string base = BaseName();
            link_path_ = name[0] == '.' ? full_path_ + "\\" + name + "\\" + base + ".MSG"
                                        : name + "\\" + base + ".MSG";
        } else if (value >= 0) {
            if (LoadRecord(static_cast<int>(value), inserted, seed_, modulus_, true))
                out += inserted;
        }
        const size_t next_text = close < raw.size() ? close + 1 : raw.size();
        code = raw.find("%@[", next_text);
        out.append(raw, next_text, (code == std::string::npos ? raw.size() : code) - next_text);
    }
    if (!keep_crlf_) CrLfToLf(out);
}

std::string MessageFile::Argument(int number, int position, std::span<const TextArg> args) const {
    if (position < 1 || static_cast<size_t>(position) > args.size()) return {};
    // The position-th conversion of the record's format entry, "%s" when there is none.
    std::string_view format = Format(number);
    std::string_view spec = "%s";
    size_t at = std::string_view::npos;
    for (int k = 0, from = 0; k < position; ++k) {
        at = format.find('%', static_cast<size_t>(from));
        if (at == std::string_view::npos) break;
        from = static_cast<int>(at) + 1;
    }
    if (at != std::string_view::npos) {
        size_t end = format.find_first_of(" %", at + 1);
        if (end == std::string_view::npos) end = format.size();
        spec = format.substr(at, end - at);
    }
    return FormatArgument(spec, args[static_cast<size_t>(position) - 1]);
}

std::string MessageFile::Conversion(std::string_view content) {
    std::string name;
    long value;
    SplitCode(content, name, value);
    if (value < 0) return {};
    if (name.empty()) name = BaseName();
    std::string record;
    if (!FetchOther(name, static_cast<int>(value), ".CNV", record)) return {};
    // The line of the record that belongs to the chosen unit system.
    size_t start = 0;
    for (int line = 0; line < conversion_line_; ++line) {
        start = record.find('\n', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    if (conversion_line_ < 0) return {};
    size_t end = record.find('\n', start);
    std::string line =
        record.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void MessageFile::Substitute(int number, const std::string& in, std::span<const TextArg> args) {
    text_.clear();
    text_.reserve(in.size() + 64);
    size_t i = 0;
    const size_t n = in.size();
    while (i < n) {
        const size_t percent = in.find('%', i);
        if (percent == std::string::npos || percent + 1 >= n) {
            text_.append(in, i, std::string::npos);
            break;
        }
        text_.append(in, i, percent - i);
        const char next = in[percent + 1];
        const int value = HexValue(next);
        if (value > 0) {
            text_ += Argument(number, value, args);
            i = percent + 2;
        } else if (next == '#' && percent + 2 < n && in[percent + 2] == '[') {
            size_t close = in.find(']', percent + 3);
            if (close == std::string::npos) close = n;
            text_ += Conversion(std::string_view(in).substr(percent + 3, close - percent - 3));
            i = close < n ? close + 1 : n;
        } else {
            text_.push_back('%');
            i = percent + 1;
        }
    }
}

void MessageFile::ParseMarkup() {
    spans_.clear();
    int attribute = default_attribute_;
    std::string font = default_font_;
    std::vector<size_t> open;  // indices into spans_ of the spans not yet ended
    std::string out;
    out.reserve(text_.size());
    const size_t n = text_.size();
    size_t i = 0;
    while (i < n) {
        const char c = text_[i];
        if (c != '%' || i + 1 >= n) {
            out.push_back(c);
            ++i;
            continue;
        }
        const char code = text_[i + 1];
        const int position = static_cast<int>(out.size());
        if (code == '[') {
            if (open.size() < kMaxOpenSpans) {
                open.push_back(spans_.size());
                spans_.push_back(
                    TextSpan{position, 0, attribute, font == default_font_ ? "" : font});
            }
            i += 2;
        } else if (code == ']') {
            if (!open.empty()) {
                TextSpan& span = spans_[open.back()];
                span.length = position - span.start;
                open.pop_back();
                if (!open.empty()) {
                    const TextSpan& current = spans_[open.size() - 1];
                    attribute = current.attribute;
                    font = current.font.empty() ? default_font_ : current.font;
                } else {
                    attribute = default_attribute_;
                    font = default_font_;
                }
            }
            i += 2;
        } else if (code == '$') {
            i = std::min(i + 3, n);  // "%$" and the '[' after it
            size_t close = text_.find(']', i);
            if (close == std::string::npos) close = n;
            font = text_.substr(i, std::min(close - i, kMaxFontName));
            i = close < n ? close + 1 : n;
        } else if (int colour = ColourCode(code); colour >= 0) {
            attribute = (attribute & 15) | colour << 4;
            i += 2;
        } else if (int bit = StyleBit(code); bit >= 0) {
            attribute |= 1 << bit;
            i += 2;
        } else {
            // Not a markup code: the '%' is text; the next character is scanned normally.
            out.push_back('%');
            ++i;
        }
    }
    // A span left open runs to the end of the text.
    for (size_t index : open)
        spans_[index].length = static_cast<int>(out.size()) - spans_[index].start;
    text_.swap(out);
}

const std::string& MessageFile::GetTextArgs(int number, std::span<const TextArg> args) {
    Expand(number, scratch_);
    if (scratch_.empty()) {
        text_.clear();
        if (!raw_) spans_.clear();
        return text_;
    }
    Substitute(number, scratch_, args);
    if (!raw_) ParseMarkup();
    return text_;
}

int MessageFile::SpanStart(int i) const {
    return i >= 0 && i < SpanCount() ? spans_[i].start : 0;
}
int MessageFile::SpanLength(int i) const {
    return i >= 0 && i < SpanCount() ? spans_[i].length : 0;
}
const std::string& MessageFile::SpanFont(int i) const {
    return i >= 0 && i < SpanCount() ? spans_[i].font : kEmpty;
}
int MessageFile::SpanColour(int i) const {
    return i >= 0 && i < SpanCount() ? (spans_[i].attribute >> 4) & 15 : 0;
}
int MessageFile::SpanStyle(int i) const {
    return i >= 0 && i < SpanCount() ? spans_[i].attribute & 15 : 0;
}

void MessageFile::PreloadAll() {
    cache_.resize(static_cast<size_t>(record_count_));
    cached_.resize(static_cast<size_t>(record_count_), false);
    for (int i = 0; i < record_count_; ++i) {
        if (cached_[i]) continue;
        if (LoadRecord(i, cache_[i], seed_, modulus_, false)) cached_[i] = true;
    }
}

int MessageFile::CountBadRecords() {
    if (modulus_ == 0) return 0;
    int bad = 0;
    std::string text;
    for (int i = 0; i < record_count_; ++i) {
        const uint32_t size = offsets_[i + 1] - offsets_[i];
        if (size < 5) {
            ++bad;
            continue;
        }
        LoadRecord(i, text, seed_, 0, false);
        if (TextChecksum(text, modulus_) != checksums_[i]) ++bad;
    }
    return bad;
}

}  // namespace text
