#include "ClientSession.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "LogText.h"
#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "platform/AsciiCase.h"
#include "platform/LittleEndian.h"
#include "platform/Path.h"

namespace server {

namespace {

constexpr int kBlock = data::kRequestDataSize;
constexpr long kMaxServedFile = 64L << 20;  // a learner file is far smaller
constexpr int kMaxBlock = int(kMaxServedFile / kBlock) + 1;
constexpr long kMaxHistory = 16L << 20;  // some hundred thousand answers
constexpr int kMaxStepCount = 1023;

long ScoreSize(int steps) {
    return 16 + 24L * steps;
}

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

// Removes the temporaries of path's uploads that a server killed mid-transfer left behind:
// "<path>.part..." files untouched for an hour (a live upload writes every few seconds).
void RemoveStaleParts(const std::string& path) {
    const std::string folder = Folder(path);
    const std::string prefix = BaseName(path) + ".part";
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    const time_t stale = ::time(nullptr) - 3600;
    while (dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const std::string full = folder + "/" + e->d_name;
        struct stat st;
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < stale)
            ::unlink(full.c_str());
    }
    ::closedir(d);
}

// 0 when path (native) is a regular file, else why it cannot be used as one.
int RegularFileError(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno;
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : platform::kErrorNotRegularFile;
}

// The reason for an error number in words: the engine's texts, the system's, and ours.
std::string Cause(int error) {
    if (error >= platform::kErrorNotRegularFile) return platform::SystemErrorText(error);
    return isam::ErrorText(error);
}

// Failures that mean a file cannot be used, as opposed to answers about its records (not
// found, locked by another player, end of file): the administrator has to see these.
bool IsFileFailure(int error) {
    return error < isam::kDuplicate || error >= platform::kErrorNotRegularFile ||
           error == isam::kCorrupt || error == isam::kFileLocked || error == isam::kTooManyFiles ||
           error == isam::kNoMemory || error == isam::kLockTableFull;
}

// The base path of the ISAM file at base (native) by its data file's resolved name: a link
// to another USERS file names the learners of that file.
std::string DataFileBase(const std::string& base) {
    char buf[PATH_MAX];
    if (!::realpath((base + ".dat").c_str(), buf)) return base;
    const std::string real = buf;
    return real.size() > 4 ? real.substr(0, real.size() - 4) : base;
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

long ClientSession::NextSerial() {
    static std::atomic<long> serial{0};
    return ++serial;
}

ClientSession::ClientSession(const NameMap& names, std::string peer, LearnerHolds* holds,
                             long serial, UploadSpace* uploads)
    : names_(names),
      peer_(std::move(peer)),
      holds_(holds ? *holds : own_holds_),
      uploads_(uploads ? *uploads : own_uploads_),
      serial_(serial != 0 ? serial : NextSerial()) {}

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
    // A request that does not continue the file being received means that file is complete
    // (its last block was a full one: the protocol has no other end mark for it).
    if (incoming_.fd >= 0 && !Continues(r)) CompleteIncoming();
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
    holds_.Release(serial_);  // a new session of this player
    const auto texts = data::SignOnTexts(r);
    signed_on_ = LogText(texts[0]) + " / " + LogText(texts[1]) + " / " + LogText(texts[2]);
    std::fprintf(stderr, "%s sign-on: %s\n", peer_.c_str(), signed_on_.c_str());
    r.result = 0;
}

void ClientSession::Open(data::RequestRecord& r) {
    holds_.Release(serial_);  // a new session of this player
    std::string name, path;
    if (!r.Name(name)) return Refuse(r, isam::kBadArgument);
    if (const int err = names_.Map(name, path)) return Refuse(r, err);
    for (const char* ext : {".idx", ".dat", ".lck"})
        if (!names_.Inside(path + ext)) return Refuse(r, EACCES);
    auto it = files_.find(path);
    if (it == files_.end()) {
        // The engine would wait on a FIFO or read on from a device: the files are regular
        // files or not opened (the lock file may be missing: the engine makes it).
        for (const char* ext : {".dat", ".idx", ".lck"}) {
            const int err = RegularFileError(path + ext);
            if (err == ENOENT && std::strcmp(ext, ".lck") == 0) continue;
            if (err != 0) return Refuse(r, FileFailure("open", path + ext, err));
        }
        // Shared with record locks whatever the player asked: an exclusive open would lock
        // every other player out of the file.
        const int mode = (r.mode & 0xFF & ~isam::OPEN_VARLEN) | isam::LOCKMODE_MANUAL;
        const int h = isam::ISOPEN(path.c_str(), mode);
        if (h < 0) {
            const int err = isam::last_error;
            return Refuse(r, FileFailure("open", FileRefusing(path, err), err));
        }
        const int reclen = isam::RecordLength(h);
        if (reclen <= 0 || reclen > kBlock) {
            isam::ISCLOSE(h);
            return Refuse(r, isam::kBadArgument);
        }
        // Learners are known by their USERS file, whatever name linked to it was opened.
        const std::string file = DataFileBase(path);
        const bool users =
            platform::EqualNoCase(BaseName(file), "USERS") && reclen >= int(data::kUserRecordSize);
        it = files_.emplace(path, OpenFile{h, reclen, false, users, file, {}}).first;
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
    // A kept lock on a learner's record holds the learner for this player's session; the hold
    // lives here, not in the engine, so that it ends with the session whatever happens.
    const bool hold = current_->users && (lock & isam::LOCK_KEEP);
    int mode = r.mode & ~isam::LOCK_WAIT;
    if (hold) mode &= ~isam::LOCK_KEEP;
    // Never wait inside the engine: the wait would hold up every other player.
    std::vector<uint8_t> rec(size_t(current_->reclen), 0);
    std::memcpy(rec.data(), r.data.data(), rec.size());
    if (isam::ISREAD(current_->handle, rec.data(), mode) != 0) {
        current_->has_read = false;
        Refuse(r, isam::last_error);
        if (IsFileFailure(isam::last_error)) FileFailure("read", current_->path, isam::last_error);
        return !(isam::last_error == isam::kRecordLocked && (lock & isam::LOCK_WAIT));
    }
    if (hold) {
        const LearnerHolds::Learner learner = LearnerOf(current_->path, rec.data());
        std::string holder;
        if (!holds_.Take(serial_, peer_, learner, &holder)) {
            std::fprintf(stderr, "%s [%s] refused: group %d user %d is held by %s\n", peer_.c_str(),
                         signed_on_.c_str(), std::get<1>(learner), std::get<2>(learner),
                         holder.c_str());
            current_->has_read = false;
            r.data.fill(0);
            return Refuse(r, isam::kRecordLocked), true;
        }
    }
    r.data.fill(0);
    std::memcpy(r.data.data(), rec.data(), rec.size());
    current_->has_read = true;
    if (current_->users) current_->read = LearnerOf(current_->path, rec.data());
    r.result = 0;
    return true;
}

LearnerHolds::Learner ClientSession::LearnerOf(const std::string& users_path,
                                               const uint8_t* record) const {
    return {users_path, platform::LoadLeI32(record + 8), platform::LoadLeI32(record + 4)};
}

bool ClientSession::RewriteCurrent(data::RequestRecord& r) {
    if (!current_) return Refuse(r, isam::kNotOpen), true;
    if (!current_->has_read) return Refuse(r, isam::kNoCurrent), true;
    if (current_->users) {
        // A player rewrites a learner's record in place: moving it to another key would take
        // the learner away from a session holding them, or write over another learner.
        const LearnerHolds::Learner learner = LearnerOf(current_->path, r.data.data());
        if (learner != current_->read) {
            std::fprintf(stderr,
                         "%s [%s] refused a rewrite: it would move group %d user %d to group %d "
                         "user %d\n",
                         peer_.c_str(), signed_on_.c_str(), std::get<1>(current_->read),
                         std::get<2>(current_->read), std::get<1>(learner), std::get<2>(learner));
            return Refuse(r, isam::kPrimaryKey), true;
        }
        // A learner in another player's session is theirs to write.
        std::string holder;
        const long owner = holds_.HolderOf(learner, &holder);
        if (owner != 0 && owner != serial_) {
            std::fprintf(stderr, "%s [%s] refused a rewrite: group %d user %d is held by %s\n",
                         peer_.c_str(), signed_on_.c_str(), std::get<1>(learner),
                         std::get<2>(learner), holder.c_str());
            return Refuse(r, isam::kRecordLocked), true;
        }
    }
    if (isam::ISREWCURR(current_->handle, r.data.data()) != 0) {
        Refuse(r, isam::last_error);
        if (IsFileFailure(isam::last_error))
            FileFailure("rewrite", current_->path, isam::last_error);
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
    if (isam::ISSTART(current_->handle, &r.key, r.length, rec.data(), r.mode) != 0) {
        const int err = isam::last_error;
        return Refuse(r, IsFileFailure(err) ? FileFailure("read", current_->path, err) : err);
    }
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
        // Opened without waiting: a FIFO would hold up every player until someone wrote to it.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return Refuse(r, FileFailure("open", path, errno));
        struct stat st;
        int err = ::fstat(fd, &st) != 0 ? errno : 0;
        if (err == 0 && !S_ISREG(st.st_mode))
            err = S_ISDIR(st.st_mode) ? EISDIR : platform::kErrorNotRegularFile;
        if (err == 0 && st.st_size > kMaxServedFile) err = EFBIG;
        if (err != 0) {
            ::close(fd);
            return Refuse(r, FileFailure("send", path, err));
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
    // The short block ends the file (logged once); the snapshot stays until the empty block
    // after it has been served too, so that every block of one transfer is of one copy.
    if (n < size_t(kBlock) && (n > 0 || outgoing_.size() % kBlock == 0))
        std::fprintf(stderr, "%s [%s] sent %s (%zu bytes)\n", peer_.c_str(), signed_on_.c_str(),
                     LogText(name).c_str(), outgoing_.size());
    if (n == 0) {
        outgoing_path_.clear();
        outgoing_.clear();
    }
}

bool ClientSession::Continues(const data::RequestRecord& r) const {
    if (incoming_.fd < 0 || r.code != data::kIsSendFile || r.block != incoming_.last_block + 1)
        return false;
    std::string name, path;
    return r.Name(name) && names_.Map(name, path) == 0 && path == incoming_.path;
}

void ClientSession::SendFile(data::RequestRecord& r) {
    // Handle has completed any transfer this request does not continue: a transfer still
    // open here is continued by this block, and ends unfinished when the block is refused.
    const bool continuing = incoming_.fd >= 0;
    if (r.length < 1 || r.length > kBlock) {
        if (continuing)
            DropIncoming("block " + std::to_string(r.block) + " has a bad length (" +
                         std::to_string(r.length) + ")");
        return Refuse(r, isam::kBadArgument);
    }
    if (!continuing) {
        std::string name, path;
        if (!r.Name(name) || r.block != 1) return Refuse(r, isam::kBadArgument);
        if (const int err = names_.Map(name, path)) return Refuse(r, err);
        const std::string base = BaseName(path);
        if (!IsProgressFile(base) || !IsLearnerFolder(Folder(path))) return Refuse(r, EACCES);
        // The files of a learner in another player's session are that session's to send.
        const int user = std::atoi(base.substr(3, 3).c_str());
        const int group = std::atoi(base.substr(7, 3).c_str());
        std::string holder;
        const long owner = holds_.HolderIn(Folder(path), group, user, &holder);
        if (owner != 0 && owner != serial_) {
            std::fprintf(stderr, "%s [%s] refused %s: group %d user %d is held by %s\n",
                         peer_.c_str(), signed_on_.c_str(), LogText(name).c_str(), group, user,
                         holder.c_str());
            return Refuse(r, isam::kRecordLocked);
        }
        incoming_.path = path;
        incoming_.name = LogText(name);
        incoming_.kind = platform::StartsWithNoCase(base, "SCO") ? Kind::kScore : Kind::kHistory;
        incoming_.user = user;
        incoming_.group = group;
        if (incoming_.kind == Kind::kScore) {
            // No whole score file is larger than the learner's steps take; an unknown
            // learner's file fails the final check anyway. The player rewrites the record
            // before it sends the scores, so the count read now is the one they were made for.
            incoming_.steps = StepCountOf(Folder(path), group, user);
            incoming_.limit =
                ScoreSize(incoming_.steps > 0 && incoming_.steps <= kMaxStepCount ? incoming_.steps
                                                                                  : kMaxStepCount);
        } else {
            incoming_.limit = kMaxHistory;
        }
        RemoveStaleParts(path);
        incoming_.temp =
            path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial_);
        // A new file of its own: whatever lies at the name (a FIFO, a link) is not written to.
        ::unlink(incoming_.temp.c_str());
        incoming_.fd = ::open(incoming_.temp.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (incoming_.fd < 0) return Refuse(r, FileFailure("create", incoming_.temp, errno));
        incoming_.last_block = 0;
        incoming_.bytes = 0;
    }
    const long end = long(r.block - 1) * kBlock + r.length;
    if (end > incoming_.limit) {
        DropIncoming("larger than the " + std::to_string(incoming_.limit) +
                     " bytes of the largest whole file");
        return Refuse(r, EFBIG);
    }
    if (!uploads_.Take(end - incoming_.bytes)) {
        DropIncoming("the unfinished uploads of all players take the " +
                     std::to_string(uploads_.Limit()) + " bytes they may");
        return Refuse(r, ENOSPC);
    }
    incoming_.bytes = end;  // reserved: given back whatever becomes of the upload
    if (::pwrite(incoming_.fd, r.data.data(), size_t(r.length), off_t(end - r.length)) !=
        r.length) {
        const int err = errno ? errno : EIO;
        DropIncoming(std::string("cannot be written: ") + std::strerror(err));
        return Refuse(r, err);
    }
    incoming_.last_block = r.block;
    r.result = 0;
    // The block that ends the file carries the outcome: a file dropped now is not saved.
    if (r.length < kBlock) {
        if (const int err = CompleteIncoming()) Refuse(r, err);
    }
}

int ClientSession::StepCountOf(const std::string& folder, int group, int user) const {
    data::DataAccess users;
    if (!users.Open(folder + "/USERS", isam::OPEN_INPUT)) return -1;
    data::UserRecord record;
    return data::FindUser(users, group, user, record) ? record.StepCount : -1;
}

std::string ClientSession::Wholeness() const {
    if (incoming_.kind == Kind::kScore) {
        const int steps = incoming_.steps;
        if (steps <= 0 || steps > kMaxStepCount)
            return "the learner's record gives no step count (" + std::to_string(steps) + ")";
        if (incoming_.bytes != ScoreSize(steps))
            return std::to_string(incoming_.bytes) + " bytes where " + std::to_string(steps) +
                   " steps take " + std::to_string(ScoreSize(steps));
        return {};
    }
    std::string bytes;
    if (const int fd = ::open(incoming_.temp.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        bytes.resize(size_t(incoming_.bytes));
        const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), 0);
        ::close(fd);
        if (n != ssize_t(bytes.size())) return "cannot be read back";
    } else {
        return "cannot be read back";
    }
    return HistoryProblem(bytes);
}

int ClientSession::CompleteIncoming() {
    if (incoming_.fd < 0) return 0;
    if (::fsync(incoming_.fd) != 0) {
        const int err = errno;
        DropIncoming(std::strerror(err));
        return err;
    }
    ::close(incoming_.fd);
    incoming_.fd = -1;
    uploads_.Give(incoming_.bytes);
    int err = 0;
    std::string why = Wholeness();
    if (!why.empty()) {
        err = EINVAL;
    } else if (::rename(incoming_.temp.c_str(), incoming_.path.c_str()) != 0) {
        err = errno;
        why = "cannot replace " + LogPath(incoming_.path) + ": " + std::strerror(err);
    }
    if (err != 0) {
        ::unlink(incoming_.temp.c_str());
        LogDropped(why);
        return err;
    }
    std::fprintf(stderr, "%s [%s] received %s (%ld bytes)\n", peer_.c_str(), signed_on_.c_str(),
                 incoming_.name.c_str(), incoming_.bytes);
    return 0;
}

int ClientSession::FileFailure(const char* doing, const std::string& path, int error) const {
    std::fprintf(stderr, "%s [%s] cannot %s %s: %s\n", peer_.c_str(), signed_on_.c_str(), doing,
                 LogPath(path).c_str(), Cause(error).c_str());
    return error;
}

std::string ClientSession::FileRefusing(const std::string& base, int error) {
    if (error != EACCES && error != EPERM && error != EROFS) return base;
    for (const char* ext : {".dat", ".idx", ".lck"}) {
        const std::string file = base + ext;
        if (::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), R_OK | W_OK) != 0)
            return file;
    }
    return base;
}

void ClientSession::DropIncoming(const std::string& why) {
    if (incoming_.fd < 0) return;
    ::close(incoming_.fd);
    incoming_.fd = -1;
    uploads_.Give(incoming_.bytes);
    ::unlink(incoming_.temp.c_str());
    LogDropped(why);
}

void ClientSession::LogDropped(const std::string& why) const {
    std::fprintf(stderr, "%s [%s] dropped %s (%ld bytes): %s; the old file is kept\n",
                 peer_.c_str(), signed_on_.c_str(), incoming_.name.c_str(), incoming_.bytes,
                 why.c_str());
}

namespace {

// Matches the start of line against format, whose "%d" stands for a number as printf writes
// an int (an optional minus and at most ten digits, within 32 bits) and whose other bytes
// stand for themselves. The length matched, or npos; the numbers in order go to numbers.
size_t MatchFormat(std::string_view line, std::string_view format,
                   std::vector<long long>* numbers = nullptr) {
    size_t at = 0;
    for (size_t f = 0; f < format.size(); ++f) {
        if (format.compare(f, 2, "%d") == 0) {
            ++f;
            const bool minus = at < line.size() && line[at] == '-';
            if (minus) ++at;
            const size_t digits = at;
            long long value = 0;
            while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
                value = value * 10 + (line[at++] - '0');
            if (at == digits || at - digits > 10) return std::string_view::npos;
            if (minus) value = -value;
            if (value < INT32_MIN || value > INT32_MAX) return std::string_view::npos;
            if (numbers) numbers->push_back(value);
        } else if (at < line.size() && line[at] == format[f]) {
            ++at;
        } else {
            return std::string_view::npos;
        }
    }
    return at;
}

// An answer record ends with the name of the lesson's folder: text without control bytes.
// Its level and step are those of a lesson (1 to 1023); its given answer is what the player
// records: a button (1 to 6), the expected value (an estimate or pick that hit) or -1 (an
// estimate that missed).
bool IsAnswerRecord(std::string_view line) {
    std::vector<long long> n;
    const size_t head = MatchFormat(line, "#F%d E%d Q%d %d:%d N%d ", &n);
    if (head == std::string_view::npos) return false;
    const long long level = n[1], step = n[2], expected = n[3], given = n[4];
    if (level < 1 || level > kMaxStepCount || step < 1 || step > kMaxStepCount) return false;
    if (!(given >= 1 && given <= 6) && given != expected && given != -1) return false;
    for (size_t i = head; i < line.size(); ++i)
        if (static_cast<unsigned char>(line[i]) < 0x20 || line[i] == 0x7F) return false;
    return true;
}

bool IsAbandonRecord(std::string_view line) {
    return MatchFormat(line, "~%d:%d") == line.size();
}

}  // namespace

std::string HistoryProblem(const std::string& bytes) {
    if (bytes.empty()) return "it is empty";
    if (bytes.back() != '\n') return "the last line has no line end";
    const std::string_view all(bytes);
    size_t start = 0;
    for (int line = 1; start < all.size(); ++line) {
        const size_t end = all.find('\n', start);
        const std::string_view text = all.substr(start, end - start);
        start = end + 1;
        if (!IsAnswerRecord(text) && !IsAbandonRecord(text))
            return "line " + std::to_string(line) + " is not an answer or abandon record";
    }
    return {};
}

void ClientSession::End(bool clean) {
    if (clean)
        CompleteIncoming();
    else
        DropIncoming("the connection was cut");
    holds_.Release(serial_);
    for (auto& [path, f] : files_) isam::ISCLOSE(f.handle);
    files_.clear();
    current_ = nullptr;
}

}  // namespace server
