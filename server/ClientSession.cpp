#include "ClientSession.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "isam/Isam.h"
#include "platform/AsciiCase.h"

namespace server {

namespace {

constexpr int kBlock = data::kRequestDataSize;
constexpr long kMaxServedFile = 64L << 20;  // a learner file is far smaller
constexpr int kMaxBlock = int(kMaxServedFile / kBlock) + 1;

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// GROUP.* or USERS.*: the learner files a player may fetch.
bool IsLearnerFile(const std::string& name) {
    return name.size() > 6 && (platform::StartsWithNoCase(name, "GROUP.") ||
                               platform::StartsWithNoCase(name, "USERS."));
}

// SCO###.### or HST###.###: the score and history files a player may send.
bool IsProgressFile(const std::string& name) {
    if (name.size() != 10 || name[6] != '.') return false;
    if (!platform::StartsWithNoCase(name, "SCO") && !platform::StartsWithNoCase(name, "HST"))
        return false;
    for (int i : {3, 4, 5, 7, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(name[size_t(i)]))) return false;
    return true;
}

// A learner folder holds a GROUP or USERS data file.
bool IsLearnerFolder(const std::string& folder) {
    bool found = false;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (platform::EqualNoCase(e->d_name, "USERS.dat") ||
                platform::EqualNoCase(e->d_name, "GROUP.dat")) {
                found = true;
                break;
            }
        }
        ::closedir(d);
    }
    return found;
}

}  // namespace

ClientSession::ClientSession(const NameMap& names, std::string peer)
    : names_(names), peer_(std::move(peer)) {
    static long serial = 0;
    serial_ = ++serial;
}

ClientSession::~ClientSession() {
    End(false);
}

void ClientSession::Refuse(data::RequestRecord& r, int error) {
    r.result = -1;
    r.error = error;
}

bool ClientSession::Handle(data::RequestRecord& r) {
    r.result = -1;
    r.error = 0;
    // A request that does not continue the file being received means that file is complete.
    if (incoming_.fd >= 0 && !(r.code == data::kIsSendFile && r.block == incoming_.last_block + 1))
        FinishIncoming(true);
    switch (r.code) {
        case data::kSignOn:
            SignOn(r);
            return true;
        case data::kIsOpen:
            Open(r);
            return true;
        case data::kIsRead:
            return Read(r);
        case data::kIsRewCurr:
            return RewriteCurrent(r);
        case data::kIsStart:
            Start(r);
            return true;
        case data::kIsGetFile:
            GetFile(r);
            return true;
        case data::kIsSendFile:
            SendFile(r);
            return true;
        default:
            Refuse(r, isam::kBadArgument);
            return true;
    }
}

void ClientSession::SignOn(data::RequestRecord& r) {
    const auto texts = data::SignOnTexts(r);
    signed_on_ = texts[0] + " / " + texts[1] + " / " + texts[2];
    std::fprintf(stderr, "%s sign-on: %s / %s / %s\n", peer_.c_str(), texts[0].c_str(),
                 texts[1].c_str(), texts[2].c_str());
    r.result = 0;
}

void ClientSession::Open(data::RequestRecord& r) {
    std::string name, path;
    if (!r.Name(name)) return Refuse(r, isam::kBadArgument);
    if (const int err = names_.Map(name, path)) return Refuse(r, err);
    for (const char* ext : {".idx", ".dat", ".lck"})
        if (!names_.Inside(path + ext)) return Refuse(r, EACCES);
    auto it = files_.find(path);
    if (it == files_.end()) {
        // Shared with record locks whatever the player asked: an exclusive open would lock
        // every other player out of the file.
        const int mode = (r.mode & 0xFF & ~isam::OPEN_VARLEN) | isam::LOCKMODE_MANUAL;
        const int h = isam::ISOPEN(path.c_str(), mode);
        if (h < 0) return Refuse(r, isam::last_error);
        const int reclen = isam::RecordLength(h);
        if (reclen <= 0 || reclen > kBlock) {
            isam::ISCLOSE(h);
            return Refuse(r, isam::kBadArgument);
        }
        it = files_.emplace(path, OpenFile{h, reclen, false}).first;
    }
    current_ = &it->second;
    current_->has_read = false;
    r.result = current_->handle;
}

bool ClientSession::Read(data::RequestRecord& r) {
    if (!current_) return Refuse(r, isam::kNotOpen), true;
    const int m = r.mode & 0xFF;
    const int lock = r.mode & ~0xFF;
    if (m > isam::GREATER_EQUAL || (lock & ~(isam::LOCK_KEEP | isam::LOCK_WAIT)))
        return Refuse(r, isam::kBadArgument), true;
    // Never wait inside the engine: the wait would hold up every other player.
    std::vector<uint8_t> rec(size_t(current_->reclen), 0);
    std::memcpy(rec.data(), r.data.data(), rec.size());
    if (isam::ISREAD(current_->handle, rec.data(), r.mode & ~isam::LOCK_WAIT) != 0) {
        current_->has_read = false;
        Refuse(r, isam::last_error);
        return !(isam::last_error == isam::kRecordLocked && (lock & isam::LOCK_WAIT));
    }
    r.data.fill(0);
    std::memcpy(r.data.data(), rec.data(), rec.size());
    current_->has_read = true;
    r.result = 0;
    return true;
}

bool ClientSession::RewriteCurrent(data::RequestRecord& r) {
    if (!current_) return Refuse(r, isam::kNotOpen), true;
    if (!current_->has_read) return Refuse(r, isam::kNoCurrent), true;
    if (isam::ISREWCURR(current_->handle, r.data.data()) != 0) {
        Refuse(r, isam::last_error);
        return isam::last_error != isam::kRecordLocked;
    }
    r.result = 0;
    return true;
}

void ClientSession::Start(data::RequestRecord& r) {
    if (!current_) return Refuse(r, isam::kNotOpen);
    if (r.key.nparts < 0 || r.key.nparts > isam::kMaxKeyParts) return Refuse(r, isam::kBadKey);
    if (r.length < 0 || r.length > isam::kMaxKeyLength || (r.mode & 0xFF) != r.mode ||
        r.mode > isam::GREATER_EQUAL)
        return Refuse(r, isam::kBadArgument);
    current_->has_read = false;
    std::vector<uint8_t> rec(size_t(current_->reclen), 0);
    std::memcpy(rec.data(), r.data.data(), rec.size());
    if (isam::ISSTART(current_->handle, &r.key, r.length, rec.data(), r.mode) != 0)
        return Refuse(r, isam::last_error);
    r.result = 0;
}

void ClientSession::GetFile(data::RequestRecord& r) {
    std::string name, path;
    if (!r.Name(name)) return Refuse(r, isam::kBadArgument);
    if (r.block < 1 || r.block > kMaxBlock) return Refuse(r, isam::kBadArgument);
    if (const int err = names_.Map(name, path)) return Refuse(r, err);
    if (!IsLearnerFile(BaseName(path))) return Refuse(r, EACCES);
    // The whole file is read at its first block, so that the blocks of one transfer belong
    // together even when other players write meanwhile.
    if (r.block == 1 || path != outgoing_path_) {
        outgoing_path_.clear();
        outgoing_.clear();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Refuse(r, errno);
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxServedFile) {
            ::close(fd);
            return Refuse(r, EACCES);
        }
        outgoing_.resize(size_t(st.st_size));
        size_t done = 0;
        while (done < outgoing_.size()) {
            const ssize_t n =
                ::pread(fd, outgoing_.data() + done, outgoing_.size() - done, off_t(done));
            if (n <= 0) break;
            done += size_t(n);
        }
        ::close(fd);
        outgoing_.resize(done);
        outgoing_path_ = path;
    }
    const size_t offset = size_t(r.block - 1) * kBlock;
    const size_t n =
        offset < outgoing_.size() ? std::min(outgoing_.size() - offset, size_t(kBlock)) : 0;
    r.data.fill(0);
    if (n > 0) std::memcpy(r.data.data(), outgoing_.data() + offset, n);
    r.length = int32_t(n);
    r.result = 0;
    if (n < size_t(kBlock)) {
        std::fprintf(stderr, "%s [%s] sent %s (%zu bytes)\n", peer_.c_str(), signed_on_.c_str(),
                     name.c_str(), outgoing_.size());
        outgoing_path_.clear();
        outgoing_.clear();
    }
}

void ClientSession::SendFile(data::RequestRecord& r) {
    std::string name, path;
    if (!r.Name(name)) return Refuse(r, isam::kBadArgument);
    if (r.length < 1 || r.length > kBlock || r.block < 1 || r.block > kMaxBlock)
        return Refuse(r, isam::kBadArgument);
    if (const int err = names_.Map(name, path)) return Refuse(r, err);
    if (!IsProgressFile(BaseName(path)) || !IsLearnerFolder(Folder(path))) return Refuse(r, EACCES);
    if (r.block == 1) {
        if (incoming_.fd >= 0) FinishIncoming(false);
        incoming_.path = path;
        incoming_.name = name;
        incoming_.temp =
            path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial_);
        incoming_.fd = ::open(incoming_.temp.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (incoming_.fd < 0) return Refuse(r, errno);
        incoming_.last_block = 0;
        incoming_.bytes = 0;
    } else if (incoming_.fd < 0 || incoming_.path != path) {
        return Refuse(r, isam::kBadArgument);
    }
    const off_t at = off_t(r.block - 1) * kBlock;
    if (::pwrite(incoming_.fd, r.data.data(), size_t(r.length), at) != r.length) {
        const int err = errno ? errno : EIO;
        FinishIncoming(false);
        return Refuse(r, err);
    }
    incoming_.last_block = r.block;
    incoming_.bytes = long(at) + r.length;
    r.result = 0;
    if (r.length < kBlock) FinishIncoming(true);
}

void ClientSession::FinishIncoming(bool complete) {
    if (incoming_.fd < 0) return;
    bool ok = complete && ::fsync(incoming_.fd) == 0;
    ::close(incoming_.fd);
    incoming_.fd = -1;
    if (ok) ok = ::rename(incoming_.temp.c_str(), incoming_.path.c_str()) == 0;
    if (!ok) ::unlink(incoming_.temp.c_str());
    std::fprintf(stderr, "%s [%s] %s %s (%ld bytes)\n", peer_.c_str(), signed_on_.c_str(),
                 ok ? "received" : "dropped an incomplete", incoming_.name.c_str(),
                 incoming_.bytes);
}

void ClientSession::End(bool clean) {
    FinishIncoming(clean);
    for (auto& [path, f] : files_) isam::ISCLOSE(f.handle);
    files_.clear();
    current_ = nullptr;
}

}  // namespace server
