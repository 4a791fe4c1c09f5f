#include "text/StreamFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>

#include "platform/Path.h"
#include "text/FormatString.h"

namespace text {

StreamFile::~StreamFile() {
    Close();
}

const char* StreamFile::ModeFor(unsigned flags, bool exists, bool read_only, unsigned* adjusted) {
    // A read-only file is only ever opened for reading; anything else may be read and written.
    if (exists && read_only) {
        flags = (flags & ~(kRead | kWrite | kAppend | kTruncate)) | kRead;
    } else {
        flags |= kRead | kWrite;
    }
    if (adjusted) *adjusted = flags;
    const bool binary = flags & kBinary;
    switch (flags & 59) {
        case 1:
        case 9:
        case 33:
        case 41:
            return binary ? "rb" : "r";
        case 2:
        case 18:
        case 50:
            return binary ? "wb" : "w";
        case 3:
        case 34:
        case 35:
            return binary ? "r+b" : "r+";
        case 10:
        case 42:
        case 26:
        case 58:
            return binary ? "ab" : "a";
        case 11:
        case 43:
        case 27:
        case 59:
            return binary ? "a+b" : "a+";
        case 19:
        case 51:
            return binary ? "w+b" : "w+";
        default:
            return nullptr;
    }
}

bool StreamFile::Open(std::string_view path, unsigned flags) {
    Close();
    last_error_ = 0;
    if (path.empty() || path.size() >= PATH_MAX) {
        last_error_ = path.empty() ? ENOENT : ENAMETOOLONG;
        return false;
    }
    full_path_ = platform::NativePath(path);
    size_t slash = full_path_.find_last_of('/');
    if (slash == std::string::npos) {
        directory_.clear();
        file_name_ = full_path_;
    } else {
        directory_ = slash == 0 ? "/" : full_path_.substr(0, slash);
        file_name_ = full_path_.substr(slash + 1);
    }

    struct stat st;
    existed_ = stat(full_path_.c_str(), &st) == 0;
    if (existed_ && !S_ISREG(st.st_mode)) {
        last_error_ = S_ISDIR(st.st_mode) ? EISDIR : platform::kErrorNotRegularFile;
        return false;
    }
    if (!existed_ && !(flags & kNoCreateFolders) && !directory_.empty()) {
        if (!platform::CreateFolders(directory_)) {
            last_error_ = errno ? errno : ENOENT;
            return false;
        }
    }
    // Permission bits stand for the read-only attribute; a read-only mount counts as well.
    const bool read_only =
        existed_ && ((st.st_mode & 0222) == 0 || access(full_path_.c_str(), W_OK) != 0);
    unsigned adjusted = 0;
    const char* mode = ModeFor(flags, existed_, read_only, &adjusted);
    if (!mode) {
        last_error_ = EINVAL;
        return false;
    }
    const unsigned row = adjusted & 59;
    if (row == 26 || row == 58 || row == 27 || row == 59) {
        if (existed_ && unlink(full_path_.c_str()) != 0) {
            last_error_ = errno;
            return false;
        }
    }
    if (row == 3 && !existed_) {
        std::FILE* created = std::fopen(full_path_.c_str(), "w");
        if (!created) {
            last_error_ = errno;
            return false;
        }
        std::fclose(created);
    }
    file_ = std::fopen(full_path_.c_str(), mode);
    if (!file_) {
        last_error_ = errno;
        return false;
    }
    flags_ = adjusted;
    last_op_ = LastOp::None;
    if (flags & kSeekEnd) Seek(0, SEEK_END);
    return true;
}

void StreamFile::PrepareFor(bool writing) {
    const LastOp want = writing ? LastOp::Write : LastOp::Read;
    if (last_op_ != LastOp::None && last_op_ != want) std::fseek(file_, 0, SEEK_CUR);
    last_op_ = want;
}

size_t StreamFile::Read(void* buffer, size_t size, size_t count) {
    if (!file_ || size == 0 || count == 0) return 0;
    PrepareFor(false);
    size_t n = std::fread(buffer, size, count, file_);
    if (n < count && std::ferror(file_)) last_error_ = errno;
    return n;
}

size_t StreamFile::Write(const void* buffer, size_t size, size_t count) {
    if (!file_ || size == 0 || count == 0) return 0;
    PrepareFor(true);
    size_t n = std::fwrite(buffer, size, count, file_);
    if (n < count) last_error_ = errno ? errno : EIO;
    return n;
}

bool StreamFile::Seek(int64_t offset, int origin) {
    if (!file_) return false;
    last_op_ = LastOp::None;
    if (fseeko(file_, static_cast<off_t>(offset), origin) != 0) {
        last_error_ = errno;
        return false;
    }
    return true;
}

int64_t StreamFile::Tell() {
    if (!file_) return -1;
    return static_cast<int64_t>(ftello(file_));
}

int64_t StreamFile::Size() {
    if (!file_) return 0;
    off_t here = ftello(file_);
    if (fseeko(file_, 0, SEEK_END) != 0) return 0;
    off_t size = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    last_op_ = LastOp::None;
    return size < 0 ? 0 : static_cast<int64_t>(size);
}

bool StreamFile::Flush() {
    if (!file_) return false;
    if (std::fflush(file_) != 0) {
        last_error_ = errno;
        return false;
    }
    return true;
}

void StreamFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    last_op_ = LastOp::None;
}

int StreamFile::LastError() {
    if (!file_) return last_error_ ? last_error_ : EBADF;
    if (std::ferror(file_) || last_error_) return last_error_ ? last_error_ : EIO;
    return 0;
}

std::string StreamFile::LastErrorText() {
    int code = LastError();
    if (code == 0) return {};
    if (code == platform::kErrorNotRegularFile) return platform::SystemErrorText(code);
    char buf[256];
    return strerror_r(code, buf, sizeof buf);
}

std::string StreamFile::LastErrorText(const char* format, ...) {
    std::string error = LastErrorText();
    if (!format) return error;
    va_list args;
    va_start(args, format);
    std::string text = FormatStringV(format, args);
    va_end(args);
    if (!error.empty()) text += " : " + error;
    return text;
}

}  // namespace text
