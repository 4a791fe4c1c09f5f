#include "text/LineFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace text {

bool LineFile::Open(std::string_view path, unsigned flags, char separator) {
    separator_ = separator;
    index_.clear();
    longest_ = 1024;
    next_line_ = 1;
    if (!StreamFile::Open(path, flags & ~kSeekEnd)) return false;
    return BuildIndex();
}

bool LineFile::BuildIndex() {
    if (!Seek(0, SEEK_SET)) return true;  // not seekable: no index, the file stays usable
    index_.push_back(0);
    char buffer[65536];
    int64_t offset = 0;
    int64_t count = 0;
    size_t n;
    while ((n = Read(buffer, 1, sizeof buffer)) > 0) {
        for (size_t i = 0; i < n; ++i) {
            ++offset;
            if (buffer[i] == separator_) {
                index_.push_back(offset);
                if (count >= longest_)
                    longest_ = static_cast<int>(std::min<int64_t>(count + 1, INT32_MAX));
                count = 0;
            } else {
                ++count;
            }
        }
    }
    if (count >= longest_) longest_ = static_cast<int>(std::min<int64_t>(count + 1, INT32_MAX));
    Seek(0, SEEK_SET);
    return true;
}

bool LineFile::ReadLine(std::string& line, int number) {
    line.clear();
    if (!IsOpen() || number < 0) return false;
    if (number == 0) number = next_line_;
    if (number > LineCount()) return false;
    const int64_t start = index_[number - 1];
    if (Tell() != start && !Seek(start, SEEK_SET)) return false;
    PrepareFor(false);
    std::FILE* f = Stream();
    const int sep = static_cast<unsigned char>(separator_);
    int c;
    while ((c = getc_unlocked(f)) != EOF && c != sep && c != 0xFF)
        line.push_back(static_cast<char>(c));
    // Text mode: a line end written as CR LF reads as LF, as it does where the files come from.
    if (!(Flags() & kBinary) && separator_ == '\n' && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    next_line_ = number + 1;
    return true;
}

bool LineFile::AppendLine(std::string_view text) {
    if (!IsOpen() || !Seek(0, SEEK_END)) return false;
    const int64_t end = Tell();
    // A last line without its separator is ended first, so the text stays a line of its own.
    const bool partial = !index_.empty() && index_.back() != end;
    std::string out;
    out.reserve(text.size() + 2);
    if (partial) out.push_back(separator_);
    for (char c : text) out.push_back(c == separator_ ? ' ' : c);
    out.push_back(separator_);
    if (Write(out.data(), 1, out.size()) != out.size()) return false;
    const bool flushed = Flush();
    if (!index_.empty()) {
        if (partial) index_.push_back(end + 1);
        index_.push_back(end + static_cast<int64_t>(out.size()));
    }
    const int64_t length = static_cast<int64_t>(text.size());
    if (length >= longest_) longest_ = static_cast<int>(std::min<int64_t>(length + 1, INT32_MAX));
    return flushed;
}

bool LineFile::AppendFormattedV(const char* format, va_list args) {
    if (!IsOpen() || !format) return false;
    return AppendLine(FormatStringV(format, args));
}

bool LineFile::AppendFormatted(const char* format, ...) {
    if (!IsOpen() || !format) return false;
    va_list args;
    va_start(args, format);
    std::string line = FormatStringV(format, args);
    va_end(args);
    return AppendLine(line);
}

}  // namespace text
