// isamtool: builds, fills, dumps, checks and repairs ISAM files; adds and drops indexes; clusters.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "isam/Check.h"
#include "isam/Isam.h"
#include "platform/ToolHelp.h"

namespace {

const char kUsage[] =
    "usage: isamtool build NAME --reclen N --key SPEC [--flags F] [--mode M]\n"
    "       isamtool addindex NAME --key SPEC [--flags F]\n"
    "       isamtool delindex NAME --key SPEC\n"
    "       isamtool write NAME            (records on stdin, one per line, as hex)\n"
    "       isamtool rewrite NAME RECNUM HEX\n"
    "       isamtool delete NAME RECNUM\n"
    "       isamtool dump NAME [--index N]\n"
    "       isamtool check NAME\n"
    "       isamtool repair NAME\n"
    "       isamtool cluster NAME --index N\n"
    "       isamtool info NAME\n"
    "       isamtool --help | --version\n"
    "SPEC is START:LEN:TYPE[,START:LEN:TYPE...] (TYPE 0-7, +128 descending) or - for none.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Reports the engine's error for an operation and answers the exit status.
int EngineFailure(const char* what) {
    std::fprintf(stderr, "isamtool: %s: %s (%d)\n", what, isam::ErrorText(isam::last_error),
                 isam::last_error);
    return 1;
}

// A whole number from min to max, in decimal or, where hex is allowed, as 0x-hex: no sign, no
// blank and nothing after it, so that a number too large is refused rather than cut short.
bool ParseNumber(const std::string& s, long min, long max, bool hex, long* out) {
    size_t i = 0;
    unsigned base = 10;
    if (hex && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= s.size()) return false;
    unsigned long long v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = unsigned(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = unsigned(c - 'A' + 10);
        else
            return false;
        v = v * base + d;
        if (v > static_cast<unsigned long long>(max)) return false;
    }
    if (static_cast<long long>(v) < min) return false;
    *out = long(v);
    return true;
}

constexpr long kMaxNumber = 0x7FFFFFFF;

bool ParseKey(const std::string& spec, long flags, isam::KeyDesc* key) {
    *key = isam::KeyDesc{};
    key->flags = int(flags);
    if (spec == "-") return true;
    size_t pos = 0;
    while (pos <= spec.size()) {
        size_t comma = spec.find(',', pos);
        std::string part =
            spec.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        long v[3];
        size_t c1 = part.find(':'), c2 = c1 == std::string::npos ? c1 : part.find(':', c1 + 1);
        if (c2 == std::string::npos || key->nparts >= isam::kMaxKeyParts) return false;
        if (!ParseNumber(part.substr(0, c1), 0, kMaxNumber, true, &v[0]) ||
            !ParseNumber(part.substr(c1 + 1, c2 - c1 - 1), 0, kMaxNumber, true, &v[1]) ||
            !ParseNumber(part.substr(c2 + 1), 0, kMaxNumber, true, &v[2]))
            return false;
        key->parts[key->nparts++] = {int(v[0]), int(v[1]), int(v[2])};
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return true;
}

// The value of each hex digit by byte, -1 for anything else: a bulk import decodes by table.
struct HexTable {
    signed char value[256];
    constexpr HexTable() : value() {
        for (int c = 0; c < 256; ++c) value[c] = -1;
        for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<signed char>(d);
        for (int d = 0; d < 6; ++d) {
            value['a' + d] = static_cast<signed char>(10 + d);
            value['A' + d] = static_cast<signed char>(10 + d);
        }
    }
};
constexpr HexTable kHex;

bool FromHex(const std::string& hex, size_t len, std::vector<unsigned char>* out) {
    if (hex.size() != len * 2) return false;
    out->resize(len);
    const unsigned char* in = reinterpret_cast<const unsigned char*>(hex.data());
    for (size_t i = 0; i < len; ++i) {
        const int hi = kHex.value[in[2 * i]];
        const int lo = kHex.value[in[2 * i + 1]];
        if ((hi | lo) < 0) return false;
        (*out)[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    return true;
}

std::string ToHex(const unsigned char* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

struct Args {
    std::string command, name;
    std::vector<std::string> positional;
    std::string key;
    long reclen = -1, flags = 0, mode = -1, index = -1;
};

bool ParseArgs(int argc, char** argv, Args* a) {
    if (argc < 3) return false;
    a->command = argv[1];
    a->name = argv[2];
    for (int i = 3; i < argc; ++i) {
        std::string opt = argv[i];
        auto value = [&](long* out, bool hex) {
            return i + 1 < argc && ParseNumber(argv[++i], 0, kMaxNumber, hex, out);
        };
        if (opt == "--reclen") {
            if (!value(&a->reclen, false)) return false;
        } else if (opt == "--flags") {
            if (!value(&a->flags, true)) return false;
        } else if (opt == "--mode") {
            if (!value(&a->mode, true)) return false;
        } else if (opt == "--index") {
            if (!value(&a->index, false)) return false;
        } else if (opt == "--key") {
            if (i + 1 >= argc) return false;
            a->key = argv[++i];
        } else if (opt.rfind("--", 0) == 0) {
            return false;
        } else {
            a->positional.push_back(opt);
        }
    }
    return true;
}

class Handle {
  public:
    explicit Handle(int h) : h_(h) {}
    ~Handle() {
        if (h_ >= 0) isam::ISCLOSE(h_);
    }
    int get() const { return h_; }

  private:
    int h_;
};

int Dump(const Args& a) {
    Handle h(isam::ISOPEN(a.name.c_str(), isam::OPEN_INPUT));
    if (h.get() < 0) return EngineFailure("open");
    long index = a.index < 0 ? 1 : a.index;
    if (isam::ISSELECTINDEX(h.get(), int(index), false) < 0) return EngineFailure("select index");
    std::vector<unsigned char> rec(size_t(isam::RecordLength(h.get())) + 1, 0);
    int mode = isam::FIRST;
    for (;; mode = isam::NEXT) {
        if (isam::ISREAD(h.get(), rec.data(), mode) < 0) {
            if (isam::last_error == isam::kEndOfFile) break;
            return EngineFailure("read");
        }
        std::printf("%d %s\n", isam::last_recnum, ToHex(rec.data(), rec.size() - 1).c_str());
    }
    return 0;
}

// Reads a file descriptor a line at a time through a large buffer: a bulk import must not pay a
// call per character or per line.
class LineReader {
  public:
    explicit LineReader(int fd) : fd_(fd), buf_(size_t(1) << 16) {}

    // Reads one line of at most `limit` characters (the line end not counted) into *line. A
    // longer line is not read on: it answers false with `*too_long` set, so that a line without
    // end cannot take all the memory there is. A read error ends the input, and error() tells it.
    bool Next(size_t limit, std::string* line, bool* too_long) {
        line->clear();
        *too_long = false;
        for (;;) {
            if (pos_ == end_ && !Fill()) return !line->empty();
            const char* start = buf_.data() + pos_;
            const auto* end = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
            const size_t take = end ? size_t(end - start) : end_ - pos_;
            if (line->size() + take > limit) {
                *too_long = true;
                return false;
            }
            line->append(start, take);
            pos_ += take;
            if (end) {
                ++pos_;
                return true;
            }
        }
    }
    int error() const { return error_; }
    // True when a line can be read on without waiting for the input (or its end is there).
    bool Ready() const {
        if (pos_ < end_) return true;
        struct pollfd p {
            fd_, POLLIN, 0
        };
        return ::poll(&p, 1, 0) > 0;
    }

  private:
    bool Fill() {
        for (;;) {
            const ssize_t n = ::read(fd_, buf_.data(), buf_.size());
            if (n > 0) {
                pos_ = 0;
                end_ = size_t(n);
                return true;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error_ = errno;
            return false;
        }
    }

    int fd_;
    std::vector<char> buf_;
    size_t pos_ = 0, end_ = 0;
    int error_ = 0;
};

// Bytes of records an import writes under one hold of the files.
constexpr size_t kBatchBytes = size_t(4) << 20;

// The records of one batch, read before the files are opened.
struct Batch {
    std::vector<unsigned char> bytes;
    size_t count = 0;
};

// How reading a batch ended: more input may follow, or the input ended (well or not).
enum class InputEnd { kMore, kEnd, kBadLine, kReadError };

// Reads one batch: waits for its first line, then takes only the lines the input already
// holds, up to max records, so that no file is held while the input is slow.
InputEnd ReadBatch(LineReader& in, size_t len, size_t max, Batch& b, int& line_no) {
    std::string line;
    std::vector<unsigned char> rec;
    b.bytes.clear();
    b.count = 0;
    while (b.count < max && (b.count == 0 || in.Ready())) {
        bool too_long = false;
        if (!in.Next(len * 2 + 1, &line, &too_long)) {
            if (too_long) return InputEnd::kBadLine;
            return in.error() != 0 ? InputEnd::kReadError : InputEnd::kEnd;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!FromHex(line, len, &rec)) return InputEnd::kBadLine;
        b.bytes.insert(b.bytes.end(), rec.begin(), rec.end());
        ++b.count;
        ++line_no;
    }
    return InputEnd::kMore;
}

// Writes a batch: alone on the file, under an exclusive hold that keeps the records in memory
// and writes them back in a few large writes; while another process has the file open, as a
// shared handle that writes each record at once. The numbers of the records are printed once
// the handle is closed, that is once they are in the files. Answers the exit status.
int WriteBatch(const std::string& name, const Batch& b, size_t len) {
    int h = isam::ISOPEN(name.c_str(), isam::OPEN_INOUT | isam::LOCKMODE_EXCL);
    if (h >= 0) {
        if (isam::DeferWrites(h, size_t(8) << 20) < 0) {
            const int err = isam::last_error;
            isam::ISCLOSE(h);
            isam::last_error = err;
            return EngineFailure("open");
        }
    } else if (isam::last_error == isam::kFileLocked) {
        h = isam::ISOPEN(name.c_str(), isam::OPEN_INOUT);
    }
    if (h < 0) return EngineFailure("open");
    std::vector<int> numbers;
    numbers.reserve(b.count);
    int failed = 0;
    for (size_t i = 0; i < b.count; ++i) {
        if (isam::ISWRITE(h, b.bytes.data() + i * len) < 0) {
            failed = isam::last_error;
            break;
        }
        numbers.push_back(isam::last_recnum);
    }
    if (isam::ISCLOSE(h) < 0) {
        std::fprintf(stderr, "isamtool: write: records not stored: %s (%d)\n",
                     isam::ErrorText(isam::last_error), isam::last_error);
        return 1;
    }
    // Record numbers go out through stdout's buffer, written without a format per line.
    char text[16];
    for (int n : numbers) {
        char* end = std::to_chars(text, text + sizeof text - 1, n).ptr;
        *end++ = '\n';
        std::fwrite(text, 1, size_t(end - text), stdout);
    }
    std::fflush(stdout);
    if (failed != 0) {
        isam::last_error = failed;
        return EngineFailure("write");
    }
    return 0;
}

// Writes the records on standard input, a batch at a time.
int Write(const Args& a) {
    const int h = isam::ISOPEN(a.name.c_str(), isam::OPEN_INPUT);
    if (h < 0) return EngineFailure("open");
    const int reclen = isam::RecordLength(h);
    isam::ISCLOSE(h);
    const size_t len = size_t(reclen);
    const size_t max = std::max<size_t>(1, kBatchBytes / std::max<size_t>(len, 1));
    LineReader in(STDIN_FILENO);
    Batch batch;
    int line_no = 1;
    for (;;) {
        const InputEnd end = ReadBatch(in, len, max, batch, line_no);
        if (batch.count > 0)
            if (const int rc = WriteBatch(a.name, batch, len); rc != 0) return rc;
        switch (end) {
            case InputEnd::kMore:
                continue;
            case InputEnd::kEnd:
                return 0;
            case InputEnd::kBadLine:
                std::fprintf(stderr, "isamtool: line %d: expected %zu hex digits\n", line_no,
                             len * 2);
                return 1;
            case InputEnd::kReadError:
                std::fprintf(stderr, "isamtool: reading the records: %s\n",
                             std::strerror(in.error()));
                return 1;
        }
    }
}

int Run(const Args& a) {
    const std::string& cmd = a.command;
    const char* name = a.name.c_str();
    isam::KeyDesc key;
    if (cmd == "build") {
        if (a.reclen < 0 || a.key.empty() || !ParseKey(a.key, a.flags, &key)) return Usage();
        int mode = a.mode < 0 ? isam::OPEN_INOUT : int(a.mode);
        const char* const kinds[] = {".idx", ".dat", ".lck"};
        bool existed[3];
        for (int i = 0; i < 3; ++i)
            existed[i] = ::access(isam::FilePathOf(name, kinds[i]).c_str(), F_OK) == 0;
        int h = isam::ISBUILD(name, int(a.reclen), key, mode);
        if (h < 0) {
            // A failed build leaves none of the files it made: they could pass for a sound file.
            const int err = isam::last_error;
            for (int i = 0; i < 3; ++i)
                if (!existed[i]) ::unlink(isam::FilePathOf(name, kinds[i]).c_str());
            isam::last_error = err;
            return EngineFailure("build");
        }
        isam::ISCLOSE(h);
        return 0;
    }
    if (cmd == "addindex" || cmd == "delindex") {
        if (a.key.empty() || !ParseKey(a.key, a.flags, &key)) return Usage();
        Handle h(isam::ISOPEN(name, isam::OPEN_INOUT));
        if (h.get() < 0) return EngineFailure("open");
        if (cmd == "addindex")
            return isam::ISADDINDEX(h.get(), key) < 0 ? EngineFailure("addindex") : 0;
        if (isam::ISDELINDEX(h.get(), key) == 0) return 0;
        return EngineFailure(isam::last_error == isam::kBadKey ? "delindex: no such index"
                                                               : "delindex");
    }
    if (cmd == "write") return Write(a);
    if (cmd == "rewrite" || cmd == "delete") {
        long recnum;
        size_t want = cmd == "rewrite" ? 2 : 1;
        if (a.positional.size() != want ||
            !ParseNumber(a.positional[0], 1, kMaxNumber, false, &recnum))
            return Usage();
        Handle h(isam::ISOPEN(name, isam::OPEN_INOUT));
        if (h.get() < 0) return EngineFailure("open");
        if (cmd == "delete")
            return isam::ISDELREC(h.get(), int32_t(recnum)) < 0 ? EngineFailure("delete") : 0;
        std::vector<unsigned char> rec;
        if (!FromHex(a.positional[1], size_t(isam::RecordLength(h.get())), &rec)) {
            std::fprintf(stderr, "isamtool: expected %d hex digits\n",
                         isam::RecordLength(h.get()) * 2);
            return 1;
        }
        return isam::ISREWREC(h.get(), int32_t(recnum), rec.data()) < 0 ? EngineFailure("rewrite")
                                                                        : 0;
    }
    if (cmd == "dump") return Dump(a);
    if (cmd == "check") {
        std::vector<std::string> problems, notes;
        bool ok = isam::CheckFiles(name, &problems, &notes);
        for (const auto& n : notes) std::printf("note: %s\n", n.c_str());
        for (const auto& p : problems) std::printf("%s\n", p.c_str());
        if (ok) std::printf("ok\n");
        return ok ? 0 : 1;
    }
    if (cmd == "repair") {
        std::string why;
        if (isam::RepairFiles(name, &why) < 0) {
            if (!why.empty()) std::fprintf(stderr, "isamtool: repair: %s\n", why.c_str());
            return EngineFailure("repair");
        }
        std::printf("repaired\n");
        return 0;
    }
    if (cmd == "cluster") {
        if (a.index < 0) return Usage();
        int h = isam::ISOPEN(name, isam::OPEN_INOUT | isam::LOCKMODE_EXCL);
        if (h < 0) return EngineFailure("open");
        isam::KeyDesc* chosen = nullptr;
        if (a.index == 0) {
            chosen = &key;
        } else if (isam::IndexKey(h, int(a.index), &key)) {
            chosen = &key;
        } else {
            isam::ISCLOSE(h);
            std::fprintf(stderr, "isamtool: cluster: no index %ld\n", a.index);
            return 1;
        }
        int nh = isam::ISCLUSTER(h, chosen);
        if (nh < 0) {
            int err = isam::last_error;
            isam::ISCLOSEALL();
            isam::last_error = err;
            return EngineFailure("cluster");
        }
        isam::ISCLOSE(nh);
        return 0;
    }
    if (cmd == "info") {
        std::string text;
        if (!isam::DescribeFiles(name, &text)) {
            std::fprintf(stderr, "isamtool: info: %s\n", text.c_str());
            return 1;
        }
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("isamtool", kUsage, argc, argv); rc >= 0)
        return rc;
    // Nothing may end the tool without a word: whatever escapes is said, and the status is 1.
    try {
        Args args;
        if (!ParseArgs(argc, argv, &args)) return Usage();
        return Run(args);
    } catch (const std::bad_alloc&) {
        std::fputs("isamtool: out of memory\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "isamtool: internal error: %s\n", e.what());
    } catch (...) {
        std::fputs("isamtool: internal error\n", stderr);
    }
    return 1;
}
