#include "script/ScriptFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/LittleEndian.h"
#include "platform/Path.h"

namespace script {

std::string BaseNameOf(std::string_view path) {
    size_t cut = path.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

ScriptLocation LocateScript(std::string_view name, std::string_view data_dir,
                            std::string_view directory) {
    ScriptLocation loc;
    if (!name.empty() && name.back() == '-') {
        loc.ends_step = true;
        return loc;
    }
    // Split into drive, directory, base name and extension.
    std::string_view drive;
    std::string_view rest = name;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = rest.substr(0, 2);
        rest.remove_prefix(2);
    }
    size_t slash = rest.find_last_of("\\/");
    std::string_view dir =
        slash == std::string_view::npos ? std::string_view() : rest.substr(0, slash + 1);
    std::string_view file = slash == std::string_view::npos ? rest : rest.substr(slash + 1);
    size_t dot = file.find_last_of('.');
    std::string_view base = dot == std::string_view::npos ? file : file.substr(0, dot);

    if (!dir.empty() || !drive.empty()) {
        loc.path = std::string(drive) + std::string(dir) + std::string(base);
    } else {
        loc.path = std::string(data_dir) + "\\LDE\\" + std::string(directory) + std::string(base);
    }
    if (loc.path.empty()) loc.ends_step = true;
    return loc;
}

bool ScriptFile::Load(const std::string& path, int* error) {
    auto fail = [&](int code) {
        if (error) *error = code;
        return false;
    };
    if (path.size() >= kMaxPath) return fail(ENAMETOOLONG);
    std::string native = platform::NativePath(path);
    // Opened without blocking, so a FIFO or device named as a script is refused below instead
    // of waiting for a writer; the stream itself reads normally.
    int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(errno ? errno : ENOENT);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        const int code = errno ? errno : EIO;
        ::close(fd);
        return fail(code);
    }
    std::vector<uint8_t> bytes;
    struct stat st;
    int refused = 0;
    if (fstat(fileno(f), &st) != 0)
        refused = errno ? errno : EIO;
    else if (S_ISDIR(st.st_mode))
        refused = EISDIR;
    else if (!S_ISREG(st.st_mode))
        refused = EINVAL;
    else if (st.st_size > kMaxSize)
        refused = EFBIG;
    if (refused) {
        std::fclose(f);
        return fail(refused);
    }
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    if (size > kMaxSize) {  // grown since it was measured
        std::fclose(f);
        return fail(EFBIG);
    }
    ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = size == 0 || std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    int code = errno ? errno : EIO;
    std::fclose(f);
    if (!ok) return fail(code);
    Assign(std::move(bytes), path);
    return true;
}

std::string ScriptFile::LoadErrorText(int error) {
    if (error == EFBIG) {
        return "the file is too large: a script may hold at most " + std::to_string(kMaxSize) +
               " bytes (" + std::to_string(kMaxSize >> 20) + " MB)";
    }
    if (error == EISDIR) return "it is a folder, not a file";
    if (error == EINVAL) return "it is not a regular file";
    return std::strerror(error);
}

void ScriptFile::Assign(std::vector<uint8_t> bytes, std::string path) {
    data_ = std::move(bytes);
    pos_ = 0;
    path_ = std::move(path);
    name_ = BaseNameOf(path_);
}

void ScriptFile::Clear() {
    Assign({}, {});
}

bool ScriptFile::Seek(int64_t offset, int origin) {
    int64_t base = origin == 0   ? 0
                   : origin == 1 ? static_cast<int64_t>(pos_)
                                 : static_cast<int64_t>(data_.size());
    int64_t target = origin == 2 ? base - offset : base + offset;
    if (target < 0 || target > static_cast<int64_t>(data_.size())) return false;
    pos_ = static_cast<size_t>(target);
    return true;
}

size_t ScriptFile::Read(void* dest, size_t size) {
    size_t n = pos_ < data_.size() ? std::min(size, data_.size() - pos_) : 0;
    if (n) std::memcpy(dest, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

size_t ScriptFile::ReadInt16(int16_t& value) {
    // A short read keeps the bytes of value it did not reach.
    uint8_t b[2];
    platform::StoreLe16(b, uint16_t(value));
    size_t n = Read(b, 2);
    value = platform::LoadLeI16(b);
    return n;
}

size_t ScriptFile::ReadFloat(float& value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    uint8_t b[4];
    platform::StoreLe32(b, bits);
    size_t n = Read(b, 4);
    bits = platform::LoadLeU32(b);
    std::memcpy(&value, &bits, 4);
    return n;
}

void ScriptFile::ReadString(std::string& out) {
    out.clear();
    while (pos_ < data_.size()) {
        char c = static_cast<char>(data_[pos_++]);
        if (c == '\0') break;
        out.push_back(c);
    }
}

}  // namespace script
